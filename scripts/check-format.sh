#!/usr/bin/env bash
# Checks that every C++ file the repository tracks is formatted as .clang-format
# says; prints clang-format's complaints and fails when a file differs.
# Usage: scripts/check-format.sh [SOURCE_DIR]   (exit 77 without clang-format)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed (apt-get install clang-format)" >&2
  exit 77
fi
files=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
clang-format --dry-run -Werror "${files[@]}"
