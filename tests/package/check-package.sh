#!/usr/bin/env bash
# Makes the Debian package of a built tree and checks what it holds: its control
# fields, its files and their modes, stripped binaries without run paths, the
# compressed pages, icons of the sizes their folders name, and valid desktop data.
#   check-package.sh BUILD_DIR OUTPUT_DIR
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"

failed=0
passed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >"$out/check.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $what"
    sed 's/^/    /' "$out/check.log"
  fi
}

if ! (cd "$build" && cpack -G DEB -B "$out") >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  echo "FAIL: cpack did not make the package"
  exit 1
fi
shopt -s nullglob
debs=("$out"/*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "FAIL: expected one package, cpack made: ${debs[*]:-none}"
  exit 1
fi
deb=${debs[0]}
field() { dpkg-deb -f "$deb" "$1"; }

# Control fields.
version=$(field Version)
check "the file is named ordalis_VERSION_amd64.deb" test "$(basename "$deb")" = "ordalis_${version}_amd64.deb"
check "Package is ordalis" test "$(field Package)" = ordalis
check "Architecture is amd64" test "$(field Architecture)" = amd64
check "Version is a plain version number" grep -Eqx '[0-9]+(\.[0-9]+)+' <<<"$version"
depends=$(field Depends)
depends_names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
for dependency in libengine-gost-openssl p7zip-full qt6-translations-l10n \
                  libc6 libssl3 libqt6widgets6 libqt6core6 libstdc++6; do
  check "Depends names $dependency" grep -qxF "$dependency" <<<"$depends_names"
done
check "Depends holds package names only, no paths" bash -c '! grep -q / <<<"$1"' _ "$depends"
check "Maintainer is a name and an address" grep -Eq '^.+ <[^ @]+@[^ @]+>$' <<<"$(field Maintainer)"
check "Description has a synopsis and an extended part" \
  test "$(field Description | wc -l)" -ge 3

# Files.
dpkg-deb -c "$deb" >"$out/contents"
paths=$(awk '{ print $6 }' "$out/contents")
expected=(
  ./usr/bin/ordalis
  ./usr/bin/ordalis-cli
  ./usr/bin/ordalis-store
  ./usr/share/man/man1/ordalis.1.gz
  ./usr/share/man/man1/ordalis-cli.1.gz
  ./usr/share/man/man1/ordalis-store.1.gz
  ./usr/share/bash-completion/completions/ordalis-cli
  ./usr/share/bash-completion/completions/ordalis-store
  ./usr/share/applications/ordalis.desktop
  ./usr/share/metainfo/org.ordalis.Ordalis.metainfo.xml
  ./usr/share/doc/ordalis/copyright
  ./usr/share/doc/ordalis/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/ordalis.png")
done
for path in "${expected[@]}"; do
  check "the package holds $path" grep -qxF "$path" <<<"$paths"
done
check "every path lies under /usr" bash -c '! grep -v "^\./usr/" <<<"$1"' _ "$paths"
check "every file belongs to root/root" awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' "$out/contents"
check "folders are 0755, programs 0755, other files 0644" awk '
  /^d/ && $1 != "drwxr-xr-x" { print; bad = 1 }
  /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print; bad = 1 }
  /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print; bad = 1 }
  END { exit bad }' "$out/contents"

# What the files hold.
root=$out/root
dpkg-deb -x "$deb" "$root"
for program in ordalis ordalis-cli ordalis-store; do
  binary=$root/usr/bin/$program
  check "$program has no run path" bash -c '! readelf -d "$1" | grep -E "RPATH|RUNPATH"' _ "$binary"
  check "$program is stripped" bash -c '! readelf -S "$1" | grep -E "\.symtab|\.debug_"' _ "$binary"
done
for page in ordalis ordalis-cli ordalis-store; do
  check "manual page $page.1.gz is gzip and a man page" \
    bash -c 'gzip -dc "$1" | head -n 1 | grep -q "^\.TH "' _ "$root/usr/share/man/man1/$page.1.gz"
done
# bash-completion loads a command's script by the command's name, when the command is first completed.
completions=$root/usr/share/bash-completion/completions
check "the ordalis-cli completion completes its verbs" bash -c '. "$1" && complete -p ordalis-cli &&
  COMP_WORDS=(ordalis-cli "") COMP_CWORD=1 && _ordalis_cli &&
  test "${COMPREPLY[*]}" = "sign verify enhance encrypt decrypt --help"' _ "$completions/ordalis-cli"
check "the ordalis-store completion completes its commands" bash -c '. "$1" && complete -p ordalis-store &&
  COMP_WORDS=(ordalis-store "") COMP_CWORD=1 && _ordalis_store &&
  test "${COMPREPLY[*]}" = "list import export remove new --help"' _ "$completions/ordalis-store"
check "the changelog names this version" \
  bash -c 'gzip -dc "$1" | head -n 1 | grep -qF "ordalis ($2)"' _ "$root/usr/share/doc/ordalis/changelog.gz" "$version"
# A PNG's size is in its header: width and height as 32-bit big-endian numbers at bytes 16 to 23.
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/ordalis.png
  check "the ${size}x${size} icon is a PNG of that size" \
    test "$(od -An -tx1 -N24 "$icon" | tr -d ' \n')" = \
    "89504e470d0a1a0a0000000d49484452$(printf '%08x%08x' "$size" "$size")"
done
desktop=$root/usr/share/applications/ordalis.desktop
check "desktop-file-validate finds nothing in the desktop file" \
  bash -c 'report=$(desktop-file-validate "$1") && echo "$report" && test -z "$report"' _ "$desktop"
check "the desktop file starts a packaged program" \
  bash -c 'program=$(sed -n "s/^Exec=\([^ ]*\).*/\1/p" "$1") && test -x "$2/usr/bin/$program"' _ "$desktop" "$root"
check "the desktop file names the packaged icon" grep -qx 'Icon=ordalis' "$desktop"
metainfo=$root/usr/share/metainfo/org.ordalis.Ordalis.metainfo.xml
check "the AppStream metadata validates" appstreamcli validate --no-net "$metainfo"
check "the AppStream metadata launches the packaged desktop file" \
  grep -qF '<launchable type="desktop-id">ordalis.desktop</launchable>' "$metainfo"
check "the AppStream metadata carries this version" grep -qF "<release version=\"$version\"" "$metainfo"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
