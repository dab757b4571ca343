#!/usr/bin/env bash
# Installs what is missing, builds the window (not the tests) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/as-owner.sh "$PWD/run.sh" "$@"
scripts/setup.sh ordalis
exec build/app/ordalis
