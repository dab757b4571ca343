#!/usr/bin/env bash
# Installs what is missing, builds the programs (not the tests) and starts the window.
# ordalis-store is how the window gets its certificates, so it is built too.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/as-owner.sh "$PWD/run.sh" "$@"
scripts/setup.sh ordalis ordalis-store ordalis-cli
exec build/app/ordalis
