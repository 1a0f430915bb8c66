#!/bin/sh
# Root only: the Debian package that make package built, checked by lintian,
# installed with dpkg -i, checked and run like an installation in a prefix
# (checks.sh), a settings write of a user who is not root seen to land in
# that user's copy, then removed with dpkg -r; afterwards nothing of it may
# be left (no /usr/lib/zelkor, no links, no /etc/zelkor, no configuration
# files).
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

# lintian: no error and no warning (information and pedantic notes are not
# asked for).
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$DEB" >"$T/lintian.log" 2>&1 || fail "lintian: $(cat "$T/lintian.log")"
else
  fail "lintian is not installed (tools/install-deps.sh installs it)"
fi

dpkg -i "$DEB" >"$T/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$T/dpkg.log")"
deps=$(dpkg-deb -f "$DEB" Depends)
echo "$deps" | grep -q 'libc6' || fail "Depends has no shared-library dependencies: $deps"
check_installation /usr
# A settings write of a user who is not root (here nobody, outside dialout)
# goes to that user's copy; the installed module description stays as the
# package put it.
tree=/usr/lib/zelkor/target/Simulator/ZkSim-Download
chmod 711 "$T"
mkdir "$T/nobody"
chown nobody "$T/nobody"
written=$(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$T/nobody" \
  ZELKOR_MACHINE_REGISTRY=/usr/lib/zelkor/machine.reg LD_LIBRARY_PATH=/usr/lib/zelkor \
  "$BUILD/tests/ZkSettingsWrite" "$tree/modul.ini" 2>&1) || fail "a settings write of nobody failed: $written"
copy=$T/nobody/.config/zelkor/target/Simulator/ZkSim-Download/modul.ini
[ "$written" = "$copy" ] || fail "the settings write went to $written, not to $copy"
grep -qx 'Disconnect=2' "$copy" || fail "the user's copy does not hold the setting: $(cat "$copy")"
[ "$(stat -c %U "$copy")" = nobody ] || fail "the user's copy does not belong to the user"
dpkg --verify zelkor >"$T/verify.log" 2>&1 && [ ! -s "$T/verify.log" ] ||
  fail "installed files changed: $(cat "$T/verify.log")"
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
