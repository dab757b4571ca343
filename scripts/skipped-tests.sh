#!/usr/bin/env bash
# Lists the test cases that the last ctest run in each given build folder
# skipped, each with the reason the case gave (GTEST_SKIP's message).
# Usage: scripts/skipped-tests.sh [BUILD_DIR...]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- build
for dir in "$@"; do
  log="$dir/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || { echo "skipped-tests: no ctest log in $dir" >&2; continue; }
  awk -v dir="$dir" '
    /^[0-9]+\/[0-9]+ Testing: / { name = $0; sub(/^[0-9]+\/[0-9]+ Testing: /, "", name); reason = ""; grab = 0; next }
    grab && (/^$/ || /^\[/ || /^<end of output>$/) { grab = 0 }
    grab { reason = reason (reason == "" ? "" : " ") $0; next }
    /: Skipped$/ { grab = 1; next }
    /^Skip regular expression found in output/ { skipped[++n] = name ": " (reason == "" ? "no reason given" : reason) }
    END {
      if (n == 0) { print "No test case was skipped (" dir ")."; exit }
      print n " test case" (n == 1 ? " was" : "s were") " skipped (" dir "):"
      for (i = 1; i <= n; ++i) print "  " skipped[i]
    }' "$log"
done
