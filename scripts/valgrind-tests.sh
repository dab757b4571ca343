#!/usr/bin/env bash
# Builds the test suite in build-valgrind (an ordinary optimised build with debug
# information) and runs it under valgrind's memcheck: an invalid read or write,
# a jump on uninitialised memory or a definite leak fails the test.
#   scripts/valgrind-tests.sh                 the whole suite
#   scripts/valgrind-tests.sh -L unit         ctest arguments pick tests
# Expect it to take twenty to fifty times as long as the ordinary run.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "valgrind is not installed (apt-get install valgrind)" >&2; exit 2; }

build=build-valgrind
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

options=(
  --error-exitcode=99
  --leak-check=full
  --errors-for-leak-kinds=definite
  --show-leak-kinds=definite
  --track-origins=yes
  --num-callers=40
)
export QT_QPA_PLATFORM=offscreen
# Code that Qt's regular expressions compile at run time reads memory valgrind
# cannot follow; interpreted, they run the same matches.
export QT_ENABLE_REGEXP_JIT=0
ctest --test-dir "$build" -T memcheck --output-on-failure \
  --overwrite MemoryCheckCommand="$(command -v valgrind)" \
  --overwrite "MemoryCheckCommandOptions=${options[*]}" \
  "$@"
