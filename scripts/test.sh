#!/usr/bin/env bash
# Builds the module and the C++ unit tests and runs both suites. Extra
# arguments go to pytest.
#
# The module and its test extras are installed into a virtual environment of
# their own, build/test-venv, made with $PYTHON (default python3); the
# interpreter's own site-packages stay untouched. A missing C++ compiler,
# GoogleTest, Python headers or venv module is installed with apt-get where
# it exists, and named otherwise. A CMake of 3.26 or newer always comes from
# pip into build/test-venv, whatever the system has: the README's
# development commands and scripts/sanitize.sh use that one.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

python="${PYTHON:-python3}"
require_build_tools "$python"
venv_python="$(make_venv build/test-venv "$python")"
export CMAKE_BUILD_PARALLEL_LEVEL="$(build_jobs)"
"$venv_python" -m pip install -q '.[test]'
venv_cmake "$venv_python"

cmake -S . -B build/core-tests -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_BUILD_MODULE=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/core-tests -j "$CMAKE_BUILD_PARALLEL_LEVEL"
ctest --test-dir build/core-tests --output-on-failure -j "$(nproc)"

# Run from outside the source tree so the installed module is the one tested.
cd tests
"$venv_python" -m pytest . "$@"
