#!/usr/bin/env bash
# Formats the C++ sources with one pinned clang-format, so that every machine
# and CI format alike: every tracked *.cpp, *.hpp, *.h and *.c under src/ and
# tests/core/, with the settings in .clang-format. That clang-format comes
# from PyPI into a virtual environment of its own, build/format-venv, made
# with $PYTHON (default python3).
#
#   bash scripts/format.sh           rewrites the files that differ and names them
#   bash scripts/format.sh --check   names them and exits 1 if there are any; writes nothing
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Another version may lay out the same code differently: change it only
# together with a commit that reformats the tree with the new one.
clang_format_version=19.1.7

check=0
case "$#:${1:-}" in
    0:) ;;
    1:--check) check=1 ;;
    *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

venv_python="$(make_venv build/format-venv "${PYTHON:-python3}")"
"$venv_python" -m pip install -q "clang-format==$clang_format_version"
clang_format="$(dirname "$venv_python")/clang-format"

differ=()
while IFS= read -r -d '' file; do
    "$clang_format" --style=file "$file" | cmp -s - "$file" || differ+=("$file")
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.hpp' 'src/*.h' 'src/*.c' \
    'tests/core/*.cpp' 'tests/core/*.hpp' 'tests/core/*.h' 'tests/core/*.c')

[ "${#differ[@]}" -eq 0 ] && exit 0
if [ "$check" -eq 1 ]; then
    echo "format.sh: not formatted with clang-format $clang_format_version" \
        "(bash scripts/format.sh rewrites them):" >&2
    printf '  %s\n' "${differ[@]}" >&2
    exit 1
fi
"$clang_format" --style=file -i "${differ[@]}"
printf 'formatted %s\n' "${differ[@]}"
