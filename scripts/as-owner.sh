# Sourced first by run.sh, test.sh and package.sh with the full path of the script and
# its arguments. Root in a checkout that belongs to someone else (sudo ./test.sh)
# installs what is missing, then runs the script again as the checkout's owner,
# so that build folders and test files stay the owner's to rewrite.
export ORDALIS_SCRIPT="./${1#"$PWD"/}"
owner_uid=$(stat -c %u .)
if [ "$(id -u)" -eq 0 ] && [ "$owner_uid" -ne 0 ]; then
  scripts/setup.sh --packages-only
  owner=$(stat -c %U .)
  owner_home=$(getent passwd "$owner" | cut -d: -f6)
  exec runuser -u "$owner" -- env HOME="$owner_home" USER="$owner" LOGNAME="$owner" "$@"
fi
unset owner_uid
