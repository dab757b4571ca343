#!/usr/bin/env bash
# Installs what is missing, builds what the package ships in build-deb (without the
# tests) and makes the Debian package there: build-deb/ordalis_VERSION_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/as-owner.sh "$PWD/scripts/package.sh" "$@"
scripts/setup.sh -B build-deb -DORDALIS_BUILD_TESTS=OFF
cd build-deb
cpack -G DEB
ls "$PWD"/ordalis_*.deb
