#!/bin/sh
# Formats every C++ file of the tree with clang-format 14 and the root .clang-format.
#   sh scripts/format.sh           rewrites the files that are not formatted
#   sh scripts/format.sh --check   changes nothing; lists them and fails when there are any
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
format=${CLANG_FORMAT:-clang-format-14}
command -v "$format" >/dev/null 2>&1 || format=clang-format
case "$("$format" --version)" in
  *"version 14."*) ;;
  *) echo "format.sh: clang-format 14 is needed (Debian package clang-format)" >&2; exit 2 ;;
esac
check=false
case "${1:-}" in
  --check) check=true ;;
  "") ;;
  *) echo "usage: sh scripts/format.sh [--check]" >&2; exit 2 ;;
esac

cd "$root"
unformatted=0
# Tracked and new files alike (outside a git checkout: every file but the build folders).
sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.cc' '*.hpp'
  else
    find . \( -path ./build -o -path './build-*' -o -path ./.git \) -prune -o \
      -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.cc' -o -name '*.hpp' \) -print | sed 's|^\./||'
  fi
}
for file in $(sources); do
  [ -f "$file" ] || continue
  if ! "$format" --style=file "$file" | cmp -s - "$file"; then
    if $check; then
      echo "not formatted: $file"
      unformatted=$((unformatted + 1))
    else
      "$format" --style=file -i "$file"
    fi
  fi
done
if [ "$unformatted" -gt 0 ]; then
  echo "$unformatted file(s) not formatted; run: sh scripts/format.sh" >&2
  exit 1
fi
