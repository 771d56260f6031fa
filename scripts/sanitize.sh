#!/usr/bin/env bash
# Builds the module and the C++ unit tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build/asan, runs the unit tests, then the
# whole Python test suite against the module. Extra arguments go to pytest,
# after the tests directory. Runs in the virtual environment that
# scripts/test.sh makes (build/test-venv, with pytest and hypothesis).
#
#   bash scripts/sanitize.sh [--quick] [pytest arguments]
#
# --quick (what CI runs): the same two sanitizers at -O1 with line tables
# only (-g1), on the module and the Python suite only, in build/asan-quick.
# Line tables are all a report needs to name file and line; so built, the
# module (search templates instantiated per domain, heuristic and table)
# compiles in half the time and two thirds of the memory it takes at -O2
# with full debug information. The whole check, with the unit tests and
# their leak detection, is for the developer who changes memory layouts or
# bit-level code, before merging.
#
# The interpreter itself is not instrumented, so the ASan runtime has to be
# the first library loaded into it (LD_PRELOAD), together with the C++
# runtime: ASan looks up the real __cxa_throw once, at start-up, and a
# python3 binary does not link libstdc++. CPython keeps objects alive until
# exit on purpose, so leak detection is off. Every undefined-behaviour check
# is built unrecoverable (-fno-sanitize-recover): its first report ends the
# process, whatever UBSAN_OPTIONS says, and fails the run. The UBSan runtime
# is linked in (-static-libubsan), where the module's export list hides it:
# loaded as a shared library beside the ASan runtime, the two share the
# symbols of their common part, and then neither writes its reports to the
# log files below but to standard error, which pytest's capture loses when
# the process dies.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

use_test_venv

quick=0
if [ "${1:-}" = "--quick" ]; then
    quick=1
    shift
fi

if [ "$quick" -eq 1 ]; then
    build_dir=build/asan-quick
    flags="-O1 -g1"
    tests=OFF
    job_mb=1024
else
    build_dir=build/asan
    flags="-O2 -g"
    tests=ON
    job_mb=1536
fi
cmake -S . -B "$build_dir" -DQUORVANE_SANITIZE=address,undefined -DQUORVANE_BUILD_TESTS="$tests" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags -DNDEBUG -fno-sanitize-recover=undefined" \
    -DCMAKE_MODULE_LINKER_FLAGS=-static-libubsan -DCMAKE_EXE_LINKER_FLAGS=-static-libubsan \
    >/dev/null
# A file of search templates takes up to 0.9 GB to compile here at -O1 -g1,
# 1.4 GB at -O2 -g.
export CMAKE_BUILD_PARALLEL_LEVEL="$(build_jobs "$job_mb")"
cmake --build "$build_dir" -j "$CMAKE_BUILD_PARALLEL_LEVEL"

preload=""
for lib in libasan.so libstdc++.so; do
    path="$(${CXX:-c++} -print-file-name="$lib")"
    if [ ! -e "$path" ]; then
        echo "sanitize.sh: cannot find $lib for ${CXX:-c++}" >&2
        exit 1
    fi
    preload="$preload${preload:+ }$path"
done

# allocator_may_return_null: a request past what the machine can give is a
# std::bad_alloc (MemoryError) as in a normal build, not an ASan abort.
# Reports go to files: pytest captures the standard error of a test, and
# what a dying process wrote there is lost. One path for both runtimes: ASan
# reads UBSAN_OPTIONS too, after its own options.
reports="$PWD/$build_dir/reports"
rm -rf "$reports" && mkdir -p "$reports"
asan_common="allocator_may_return_null=1:log_path=$reports/report:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:log_path=$reports/report:${UBSAN_OPTIONS:-}"
status=0
# The unit tests are a plain C++ program: leaks are looked for there.
if [ "$quick" -eq 0 ]; then
    ASAN_OPTIONS="detect_leaks=1:$asan_common" "$build_dir/quorvane_core_tests" --gtest_brief=1 ||
        status=$?
fi

export ASAN_OPTIONS="detect_leaks=0:$asan_common"
export PYTHONPATH="$PWD/$build_dir${PYTHONPATH:+:$PYTHONPATH}"
# Tests that measure the process's memory skip that part: the sanitizers'
# allocator holds freed blocks in quarantine.
export QUORVANE_SANITIZED=1
export LD_PRELOAD="$preload"
# The instrumented build, not an installed copy, must be the one imported.
require_module_from "$build_dir"
"$venv_python" -m pytest tests -p no:cacheprovider "$@" || status=$?
if compgen -G "$reports/*" >/dev/null; then
    cat "$reports"/* >&2
    [ "$status" -ne 0 ] || status=1
fi
exit "$status"
