#!/usr/bin/env bash
# The set-up scripts' refusals and hand-over, on a scratch copy of them in a
# checkout that belongs to the user nobody: packages that cannot be installed
# without root, another user's build folder, and root going on as the owner.
# dpkg-query and sudo are stand-ins: which packages are missing, and a sudo the
# user may not use, cannot be arranged on a real machine.
#   check-setup.sh SOURCE_DIR        (as root; exits 77, skipped, otherwise)
set -uo pipefail
source_dir=$1
[ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1 || { echo "needs root and the user nobody"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
checkout=$scratch/checkout
mkdir -p "$checkout/scripts" "$scratch/bin"
cp "$source_dir/test.sh" "$checkout/"
cp "$source_dir/scripts/setup.sh" "$source_dir/scripts/as-owner.sh" "$checkout/scripts/"
cat >"$scratch/bin/dpkg-query" <<'EOF'
#!/bin/sh
for name; do :; done
[ "$name" = "${MISSING:-}" ] && exit 1
echo "install ok installed"
EOF
cat >"$scratch/bin/sudo" <<'EOF'
#!/bin/sh
echo "nobody is not in the sudoers file." >&2
exit 1
EOF
chmod 755 "$scratch/bin/dpkg-query" "$scratch/bin/sudo"
chown -R nobody "$checkout"
runuser -u nobody -- true 2>/dev/null || { echo "the user nobody cannot run programs here"; exit 77; }
path=$scratch/bin:/usr/sbin:/usr/bin:/sbin:/bin

failed=0
passed=0
expect() { # expect DESCRIPTION TEXT-THAT-MUST-APPEAR
  if grep -qF -- "$2" "$scratch/output"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $1: no \"$2\" in:"
    sed 's/^/    /' "$scratch/output"
  fi
}
expect_status() { # expect_status DESCRIPTION WANTED ACTUAL
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1: exit $3, not $2"; fi
}

# A user without sudo rights is told what to install and how, and nothing is built.
(cd "$checkout" && runuser -u nobody -- env PATH="$path" MISSING=libgmock-dev ./test.sh) >"$scratch/output" 2>&1
expect_status "missing package without sudo" 1 $?
expect "missing package without sudo" "not installed: libgmock-dev"
expect "missing package without sudo" "apt-get update && apt-get install -y libgmock-dev"
expect "missing package without sudo" "run ./test.sh again"
if [ -e "$checkout/build" ]; then failed=$((failed + 1)); echo "FAIL: a build folder was made"; else passed=$((passed + 1)); fi

# A build folder holding root's files is refused with the way out, and left alone.
mkdir "$checkout/build"
chown nobody "$checkout/build"
touch "$checkout/build/CMakeCache.txt"
(cd "$checkout" && runuser -u nobody -- env PATH="$path" ./test.sh) >"$scratch/output" 2>&1
expect_status "another user's build folder" 1 $?
expect "another user's build folder" "holds files of another user, so nobody cannot update it"
expect "another user's build folder" "rm -rf $checkout/build"
[ "$(stat -c %U "$checkout/build/CMakeCache.txt")" = root ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL: the folder was changed"; }

# Root in nobody's checkout goes on as nobody: the same folder is refused to nobody.
(cd "$checkout" && env PATH="$path" ./test.sh) >"$scratch/output" 2>&1
expect_status "root in a user's checkout" 1 $?
expect "root in a user's checkout" "so nobody cannot update it"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
