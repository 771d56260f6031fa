#!/usr/bin/env bash
# Builds the module and the C++ unit tests with clang in build/clang, every
# warning an error, runs the unit tests, then the whole Python test suite
# against that module. Extra arguments go to pytest, after the tests
# directory. Runs in the virtual environment that scripts/test.sh makes
# (build/test-venv, with pytest and hypothesis). g++ accepts some code that
# clang rejects (in a generic lambda, a type that depends on none of its
# parameters in a branch `if constexpr` discards, say); this keeps such code
# out.
#
# The clang is the oldest of version 16 or newer on PATH (clang++-NN, or
# clang++ itself); Debian 12's clang, 14, does not compile the core's C++20.
# Where there is none, the oldest such clang-NN package apt offers is
# installed (clang-16 on Debian 12). Not the newest: newer clangs (19, say)
# warn about a deprecated call inside the std::stable_sort of libstdc++ 12,
# Debian 12's, and -Werror makes that warning fail the build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

use_test_venv

# clang_major COMMAND: the major version of that clang, or nothing when it
# is not clang.
clang_major() {
    case "$("$1" --version 2>/dev/null)" in
        *clang*) "$1" -dumpversion | cut -d. -f1 ;;
    esac
}

# The oldest clang++ of version 16 or newer on PATH, or nothing.
find_clang() {
    local cxx major
    for cxx in clang++ $(compgen -c clang++- | grep -E '^clang\+\+-[0-9]+$' | sort -u); do
        command -v "$cxx" >/dev/null 2>&1 || continue
        major="$(clang_major "$cxx")"
        [ -n "$major" ] && [ "$major" -ge 16 ] && echo "$major $cxx"
    done | sort -n | head -n 1 | cut -d' ' -f2
}

cxx="$(find_clang)"
if [ -z "$cxx" ]; then
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "clang.sh: no clang++ of version 16 or newer on PATH; install one, then run again" >&2
        exit 1
    fi
    as_root apt-get update -qq
    package="$(apt-cache search --names-only '^clang-[0-9]+$' | cut -d' ' -f1 |
        awk -F- '$2 >= 16' | sort -V | head -n 1)"
    if [ -z "$package" ]; then
        echo "clang.sh: apt offers no clang of version 16 or newer; install one, then run again" >&2
        exit 1
    fi
    as_root apt-get install -y -qq "$package" >/dev/null
    hash -r
    cxx="$(find_clang)"
    if [ -z "$cxx" ]; then
        echo "clang.sh: $package is installed, but no clang++ of version 16 or newer is on PATH" >&2
        exit 1
    fi
fi
cxx="$(command -v "$cxx")"
echo "clang.sh: $("$cxx" --version | sed -n 1p) ($cxx)"

build_dir=build/clang
cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS=-Werror \
    -DQUORVANE_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
export CMAKE_BUILD_PARALLEL_LEVEL="$(build_jobs)"
cmake --build "$build_dir" -j "$CMAKE_BUILD_PARALLEL_LEVEL"
status=0
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" || status=$?

export PYTHONPATH="$PWD/$build_dir${PYTHONPATH:+:$PYTHONPATH}"
# The clang build, not the copy scripts/test.sh installed, must be the one
# imported.
require_module_from "$build_dir"
"$venv_python" -m pytest tests -p no:cacheprovider "$@" || status=$?
exit "$status"
