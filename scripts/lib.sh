# Helpers shared by the scripts in this folder; sourced, not run.

# Whether a CMake of at least 3.26 is on PATH.
cmake_ok() {
    command -v cmake >/dev/null 2>&1 &&
        printf '3.26\n%s\n' "$(cmake --version | awk 'NR==1 {print $3}')" | sort -V -C
}

# ensure_cmake VENV_PYTHON: puts a CMake >= 3.26 on PATH, installing one into
# that virtual environment when the one on PATH is missing or too old.
ensure_cmake() {
    cmake_ok && return 0
    "$1" -m pip install -q 'cmake>=3.26'
    PATH="$(dirname "$1"):$PATH"
    cmake_ok
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
    local sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
}
