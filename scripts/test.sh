#!/usr/bin/env bash
# Installs everything the tests need, builds the module and the C++ unit
# tests, and runs both suites. Extra arguments go to pytest.
#
# Needs python3 with pip; installs a C++ compiler, GoogleTest and the Python
# headers through apt-get when they are missing, and CMake through pip when
# the one on PATH is missing or older than 3.26.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
apt_packages=()
command -v c++ >/dev/null 2>&1 || apt_packages+=(g++)
[ -f /usr/include/gtest/gtest.h ] || apt_packages+=(libgtest-dev)
python_include="$(python3 -c 'import sysconfig; print(sysconfig.get_paths()["include"])')"
[ -f "$python_include/Python.h" ] || apt_packages+=(python3-dev)
if [ "${#apt_packages[@]}" -gt 0 ]; then
    $sudo_cmd apt-get update -qq
    $sudo_cmd apt-get install -y -qq "${apt_packages[@]}" >/dev/null
fi

# A system Python that forbids pip installs (PEP 668) is used as is: this
# script is meant for test machines.
export PIP_BREAK_SYSTEM_PACKAGES=1
cmake_ok() {
    command -v cmake >/dev/null 2>&1 &&
        printf '3.26\n%s\n' "$(cmake --version | awk 'NR==1 {print $3}')" | sort -V -C
}
if ! cmake_ok; then
    python3 -m pip install -q 'cmake>=3.26'
    PATH="$(python3 -c 'import sysconfig; print(sysconfig.get_path("scripts"))'):$PATH"
fi

python3 -m pip install -q '.[test]'

cmake -S . -B build/core-tests -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_BUILD_MODULE=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/core-tests -j "$(nproc)"
ctest --test-dir build/core-tests --output-on-failure -j "$(nproc)"

# Run from outside the source tree so the installed module is the one tested.
cd tests
python3 -m pytest . "$@"
