#!/usr/bin/env bash
# Installs what is missing, builds Ordalis and runs the whole test suite headless.
# In CI (CI=true) the suite then runs again built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan, a few minutes more).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/as-owner.sh "$PWD/test.sh" "$@"
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
if [ "${CI:-}" = true ]; then
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j"$(nproc)"
  ctest --preset asan -j"$(nproc)" "$@"
fi
scripts/skipped-tests.sh build
