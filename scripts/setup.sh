#!/usr/bin/env bash
# Installs the Debian packages Ordalis needs (when missing), then configures and
# builds it. Called by run.sh, test.sh and package.sh:
#   scripts/setup.sh [--packages-only] [-B BUILD_DIR] [-DNAME=VALUE]... [TARGET]...
# Without targets it builds everything (default folder: build). apt-get runs as
# root, through sudo for anyone else; the build runs as whoever calls this.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Build and run: compiler, CMake, Qt 6 and its own translations, OpenSSL 3 with its GOST engine,
# the 7-Zip library.
# Tests: GoogleTest and GoogleMock, the openssl tool the interoperability tests run,
# clang-format for the formatting check.
# Package: dpkg-shlibdeps (dpkg-dev) and file, which CPack runs to find the binaries;
# the validators of the desktop data.
packages=(build-essential cmake pkg-config qt6-base-dev qt6-translations-l10n libssl-dev
          libengine-gost-openssl p7zip-full
          libgtest-dev libgmock-dev openssl clang-format
          dpkg-dev file desktop-file-utils appstream)

packages_only=false
build=build
cmake_options=()
targets=()
while (($#)); do
  case $1 in
    --packages-only) packages_only=true ;;
    -B) build=$2; shift ;;
    -D*) cmake_options+=("$1") ;;
    *) targets+=("$1") ;;
  esac
  shift
done

# What to run again after a refusal: the script that called this one.
again=${ORDALIS_SCRIPT:-scripts/setup.sh}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

cannot_install() {
  {
    echo "Ordalis needs these Debian packages, which are not installed: ${missing[*]}"
    echo "Install them as root with this command, then run $again again:"
    echo "  apt-get update && apt-get install -y ${missing[*]}"
  } >&2
  exit 1
}

if ((${#missing[@]})); then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  elif command -v sudo >/dev/null; then
    echo "Installing with sudo: ${missing[*]}"
    { sudo apt-get update -qq &&
      sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"; } || cannot_install
  else
    cannot_install
  fi
fi
$packages_only && exit 0

# A build folder left by another user (often root, from an earlier sudo) cannot be
# reused: CMake fails half-way on its first file.
if [ -e "$build" ] && [ -n "$(find "$build" ! -user "$(id -u)" -print -quit)" ]; then
  echo "The build folder $PWD/$build holds files of another user, so $(id -un) cannot update it." >&2
  echo "Remove it as root (sudo rm -rf $PWD/$build) and run $again again." >&2
  exit 1
fi

werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDALIS_WERROR=$werror "${cmake_options[@]}" >/dev/null
target_options=()
for t in "${targets[@]}"; do target_options+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${target_options[@]}"
