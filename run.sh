#!/usr/bin/env bash
# Installs what is missing, builds Ordalis and starts the window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
exec build/app/ordalis
