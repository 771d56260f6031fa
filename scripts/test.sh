#!/usr/bin/env bash
# Installs everything the tests need, builds the module and the C++ unit
# tests, and runs both suites. Extra arguments go to pytest.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f /usr/include/gtest/gtest.h ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    $sudo_cmd apt-get install -y -qq libgtest-dev >/dev/null
fi

python3 -m pip install -q '.[test]'

cmake -S . -B build/core-tests -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_BUILD_MODULE=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/core-tests -j "$(nproc)"
ctest --test-dir build/core-tests --output-on-failure -j "$(nproc)"

python3 -m pytest tests "$@"
