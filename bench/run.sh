#!/usr/bin/env bash
# Runs the whole benchmark suite: makes a virtual environment of its own under
# build/ (so the interpreter's shared site-packages stay untouched), installs
# the module in release mode with the [bench] extra (networkx, scipy,
# python-igraph, rustworkx, numpy), and runs bench/suite.py in it.
# Arguments go to suite.py (e.g. --quick, --runs 7, --only grid).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

venv_python="$(make_venv build/bench-venv "${PYTHON:-python3}")"
# The wheel is built in a directory of its own, always in release mode.
"$venv_python" -m pip install -q \
    --config-settings=build-dir=build/bench-wheel \
    --config-settings=cmake.build-type=Release \
    '.[bench]'

# Idle BLAS worker threads spin and steal time from whatever is measured;
# none of the workloads uses BLAS.
export OPENBLAS_NUM_THREADS=1
# Run from outside the source tree so the installed module is the one measured.
cd bench
exec "$venv_python" suite.py "$@"
