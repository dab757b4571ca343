#!/usr/bin/env bash
# Checks that the libraries include only the layers below them, and that only
# app/ uses Qt. Prints each offending include and fails when there is one.
# Usage: scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# folder: the project folders its files may include from (besides its own)
allowed=(
  "common:"
  "armour:common"
  "sevenzip:common"
  "cryptomsg/cryptoapi:common"
  "cryptomsg/store:common cryptomsg/cryptoapi"
  "cryptomsg/messages:common cryptomsg/cryptoapi cryptomsg/store"
  "cryptomsg/longterm:common cryptomsg/cryptoapi cryptomsg/store cryptomsg/messages"
  "cryptomsg/operations:common cryptomsg/cryptoapi cryptomsg/store cryptomsg/messages cryptomsg/longterm armour sevenzip"
  "tools:common cryptomsg armour sevenzip"
)

status=0
for rule in "${allowed[@]}"; do
  folder=${rule%%:*}
  below=" $folder ${rule#*:} "
  while IFS=: read -r file line text; do
    included=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$text")
    ok=
    for layer in $below; do
      [[ $included == "$layer"/* ]] && ok=1
    done
    # A folder's own files are under it; tools/ may include its own subfolders.
    if [ -z "$ok" ]; then
      echo "$file:$line: $folder/ must not include \"$included\""
      status=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' -E '^#include "' "$folder" || true)
done

while IFS= read -r hit; do
  echo "$hit: only app/ uses Qt"
  status=1
done < <(grep -rn --include='*.h' --include='*.cpp' -E '^#include <Q' common armour sevenzip cryptomsg tools || true)

exit $status
