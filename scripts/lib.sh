# Helpers shared by the scripts in this folder; sourced, not run.

# Whether a CMake of at least 3.26 is on PATH.
cmake_ok() {
    command -v cmake >/dev/null 2>&1 &&
        printf '3.26\n%s\n' "$(cmake --version | awk 'NR==1 {print $3}')" | sort -V -C
}

# venv_cmake VENV_PYTHON: a CMake of at least 3.26 in that virtual
# environment (from pip when it has none), put first on PATH with the
# environment's other tools, whatever CMake the system has.
venv_cmake() {
    local bin
    bin="$(dirname "$1")"
    PATH="$bin:$PATH"
    cmake_ok && [ "$(command -v cmake)" = "$bin/cmake" ] && return 0
    "$1" -m pip install -q 'cmake>=3.26'
    hash -r
    cmake_ok
}

# build_jobs [MB]: how many compile jobs to run at once. The value of
# CMAKE_BUILD_PARALLEL_LEVEL when it is set; otherwise one a core, but no
# more than the available memory holds at MB a job (default 640: a file of
# search templates takes about 530 MB to compile without sanitizers), and at
# least one. Scripts export it as CMAKE_BUILD_PARALLEL_LEVEL, which the
# builds that pip runs through the build backend follow too.
build_jobs() {
    local per_job_kb=$((${1:-640} * 1024)) jobs available_kb
    if [ -n "${CMAKE_BUILD_PARALLEL_LEVEL:-}" ]; then
        echo "$CMAKE_BUILD_PARALLEL_LEVEL"
        return
    fi
    jobs="$(nproc)"
    available_kb="$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo 2>/dev/null || true)"
    if [ -n "$available_kb" ] && [ $((available_kb / per_job_kb)) -lt "$jobs" ]; then
        jobs=$((available_kb / per_job_kb))
    fi
    [ "$jobs" -ge 1 ] || jobs=1
    echo "$jobs"
}

# python_version PYTHON: prints major.minor.micro.
python_version() {
    "$1" -c 'import sys; print("%d.%d.%d" % sys.version_info[:3])'
}

# make_venv DIR PYTHON: a virtual environment in DIR made with PYTHON (made
# anew when it was made with another version); prints its interpreter.
make_venv() {
    local dir="$1" python="$2" want
    want="$(python_version "$python")"
    if [ ! -x "$dir/bin/python" ] || [ "$(python_version "$dir/bin/python" 2>/dev/null)" != "$want" ]; then
        rm -rf "$dir"
        "$python" -m venv "$dir" >&2
    fi
    echo "$(cd "$dir" && pwd)/bin/python"
}

# require_build_tools PYTHON: a C++ compiler, GoogleTest, the Python headers
# of PYTHON and its venv module. What is missing is installed with apt-get
# where there is one; elsewhere the script names it and stops.
require_build_tools() {
    local python="$1" missing=() include
    command -v c++ >/dev/null 2>&1 || command -v g++ >/dev/null 2>&1 || missing+=(g++)
    [ -f /usr/include/gtest/gtest.h ] || [ -f /usr/local/include/gtest/gtest.h ] ||
        missing+=(libgtest-dev)
    include="$("$python" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')"
    [ -f "$include/Python.h" ] || missing+=(python3-dev)
    "$python" -c 'import ensurepip, venv' >/dev/null 2>&1 || missing+=(python3-venv)
    [ "${#missing[@]}" -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "$(basename "$0"): missing: ${missing[*]} (Debian package names). Install a C++20" \
            "compiler, GoogleTest, the headers and the venv module of $python, then run again." >&2
        exit 1
    fi
    as_root apt-get update -qq
    as_root apt-get install -y -qq "${missing[@]}" >/dev/null
}

# as_root COMMAND...: runs it, through sudo when not root.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# use_test_venv: sets venv_python to the interpreter of build/test-venv
# (made by scripts/test.sh, with pytest and hypothesis) and puts its CMake
# first on PATH; stops the script when that environment is missing.
use_test_venv() {
    venv_python="$PWD/build/test-venv/bin/python"
    if [ ! -x "$venv_python" ]; then
        echo "$(basename "$0"): $venv_python is missing; run scripts/test.sh first" >&2
        exit 1
    fi
    venv_cmake "$venv_python"
}

# require_module_from DIR: stops the script unless $venv_python, in the
# environment as it now is, imports quorvane_native from DIR (a build there,
# not a copy installed elsewhere, is the one to test).
require_module_from() {
    "$venv_python" -c 'import os, sys, quorvane_native as q
sys.exit(os.path.dirname(os.path.abspath(q.__file__)) != os.path.abspath(sys.argv[1]))' "$1" || {
        echo "$(basename "$0"): quorvane_native is not imported from $1" >&2
        exit 1
    }
}
