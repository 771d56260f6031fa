#!/usr/bin/env bash
# The module claims every CPython from 3.8 on through one abi3 wheel. This
# builds that wheel with the oldest interpreter present (python3 and pyenv's
# versions, 3.8 or newer), installs the same wheel into virtual environments
# of the oldest and the newest, and runs the Python tests in each. Extra
# arguments go to pytest. Needs what scripts/test.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Every candidate interpreter as "version path", oldest first.
candidates() {
    local python version
    local pyenv_root="${PYENV_ROOT:-$HOME/.pyenv}"
    for python in python3 "$pyenv_root"/versions/*/bin/python3; do
        command -v "$python" >/dev/null 2>&1 || continue
        "$python" -c 'import platform, sys
sys.exit(platform.python_implementation() != "CPython" or sys.version_info < (3, 8))' \
            2>/dev/null || continue
        version="$(python_version "$python")"
        echo "$version $(command -v "$python")"
    done | sort -V -k1,1 | awk '!seen[$1]++'
}

mapfile -t found < <(candidates)
oldest_version="${found[0]%% *}"
oldest="${found[0]#* }"
newest_version="${found[-1]%% *}"
newest="${found[-1]#* }"
default_version="$(python_version python3)"
echo "every_python.sh: interpreters found: $(printf '%s ' "${found[@]%% *}")"
if [ "$oldest_version" = "$default_version" ]; then
    echo "every_python.sh: no interpreter older than python3 ($default_version) is present;" \
        "the wheel is built with python3"
fi

build_python="$(make_venv "build/py-$oldest_version" "$oldest")"
rm -rf build/abi3-wheel
export CMAKE_BUILD_PARALLEL_LEVEL="$(build_jobs)"
"$build_python" -m pip wheel -q --no-deps -w build/abi3-wheel \
    --config-settings=build-dir=build/abi3-build .
wheel="$(echo build/abi3-wheel/quorvane_native-*.whl)"
echo "every_python.sh: built $(basename "$wheel") with Python $oldest_version"

status=0
for entry in "$oldest_version $oldest" "$newest_version $newest"; do
    version="${entry%% *}"
    venv_python="$(make_venv "build/py-$version" "${entry#* }")"
    "$venv_python" -m pip install -q "$PWD/$wheel[test]"
    "$venv_python" -m pip install -q --force-reinstall --no-deps "$PWD/$wheel"
    echo "every_python.sh: Python suite on $version"
    (cd tests && "$venv_python" -m pytest . -p no:cacheprovider "$@") || status=1
    [ "$newest_version" != "$oldest_version" ] || break
done
exit "$status"
