#!/bin/sh
# Root only: the Debian package that make package built, installed with
# dpkg -i, checked and run like an installation in a prefix (checks.sh), then
# removed with dpkg -r; afterwards nothing of it may be left (no
# /usr/lib/zelkor, no links, no /etc/zelkor, no configuration files).
#   package-test.sh BUILD_DIR
# Not root: skipped (exit code 0).
set -eu
if [ "$(id -u)" -ne 0 ]; then
  echo "package test: needs root (dpkg -i), skipped"
  exit 0
fi
BUILD=$(cd "$1" && pwd)
T=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-package.XXXXXX")
. "$(dirname "$0")/checks.sh"

set -- "$BUILD"/zelkor_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "not exactly one zelkor_*.deb in $BUILD: $*"
DEB=$1
status() { dpkg-query -W -f='${db:Status-Status}' zelkor 2>/dev/null || echo not-installed; }
[ "$(status)" = not-installed ] || fail "zelkor is on this machine already ($(status)); remove it first"
[ ! -e /etc/zelkor ] || fail "/etc/zelkor exists before the test"

cleanup() {
  stop_started
  [ "$(status)" = not-installed ] || dpkg --purge zelkor >/dev/null 2>&1 || true
  rm -rf "$T"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

dpkg -i "$DEB" >"$T/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$T/dpkg.log")"
deps=$(dpkg-deb -f "$DEB" Depends)
echo "$deps" | grep -q 'libc6' || fail "Depends has no shared-library dependencies: $deps"
check_installation /usr dialout
# A member of dialout may write in the module tree, and what it writes
# there takes the tree's group; anyone else may not.
tree=/usr/lib/zelkor/target/Simulator/ZkSim-Download
setpriv --reuid=nobody --regid=nogroup --groups=dialout sh -c "touch $tree/.probe && test -w $tree/modul.ini" ||
  fail "a member of dialout cannot write in $tree"
[ "$(stat -c %G "$tree/.probe")" = dialout ] || fail "a new file in the module tree is not of group dialout"
rm -f "$tree/.probe"
if setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c "test -w $tree/modul.ini || touch $tree/.probe" 2>/dev/null; then
  fail "a user outside dialout can write in $tree"
fi
run_installed /usr

files=$(dpkg-query -L zelkor)
dpkg -r zelkor >"$T/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$T/dpkg.log")"
[ "$(status)" = not-installed ] || fail "after dpkg -r zelkor is $(status) (configuration files left?)"
for path in /usr/lib/zelkor /etc/zelkor /usr/bin/Quillrun /usr/bin/quillrun /usr/bin/zelkor-gui /usr/bin/modsim /usr/bin/zelkor \
  /usr/share/bash-completion/completions/zelkor; do
  [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after dpkg -r"
done
for path in $files; do
  [ -d "$path" ] && continue  # shared folders such as /usr/share/man stay
  [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after dpkg -r"
done
echo "package $(basename "$DEB"): installed, checked, demo verified, removed cleanly"
