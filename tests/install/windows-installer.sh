#!/bin/sh
# The Windows installer under Wine, in a fresh prefix: a silent install puts
# the programs under Program Files and writes the App Paths value, zelkor.exe
# started from elsewhere finds its installation through it, and the
# uninstaller takes the files and the value away again.
#   windows-installer.sh SETUP.EXE
set -eu
SETUP=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-setup.XXXXXX")
SERVER=""
. "$(dirname "$0")/../../install/demo/wine.sh"
cleanup() {
  stop_wine
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
fail() {
  echo "windows installer: $*" >&2
  exit 1
}

start_wine

KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Zelkor3.exe'
DIR="$WINEPREFIX/drive_c/Program Files/Zelkor"
wine64 "$SETUP" /S </dev/null
[ -f "$DIR/zelkor.exe" ] || fail "zelkor.exe is not installed"
[ -f "$DIR/Tarnlink.dll" ] || fail "Tarnlink.dll is not installed"
[ -f "$DIR/target/Simulator/ZkSim-Download/ZkBoot.bin" ] || fail "the module tree is not installed"
! ls "$DIR"/demo/*.sh >/dev/null 2>&1 || fail "the Linux demo scripts are installed"
wine64 reg query "$KEY" /v PATH 2>/dev/null | tr -d '\r' | grep -q 'C:\\Program Files\\Zelkor$' ||
  fail "the App Paths value does not name the installation"

# From another folder: the module tree is found through the App Paths value.
(cd "$WORK" && wine64 'C:\Program Files\Zelkor\zelkor.exe' modules </dev/null) | tr -d '\r' >"$WORK/modules.txt"
grep -q 'ZkSim-Download' "$WORK/modules.txt" || fail "zelkor.exe modules does not list the installed tree"

# _?= keeps the uninstaller in place; it may still be at work when wine64
# returns, so its end is waited for (at most half a minute).
wine64 'C:\Program Files\Zelkor\uninstall.exe' /S '_?=C:\Program Files\Zelkor' </dev/null
tries=0
while [ -e "$DIR/uninstall.exe" ] && [ $tries -lt 60 ]; do
  sleep 0.5
  tries=$((tries + 1))
done
[ ! -e "$DIR/zelkor.exe" ] || fail "zelkor.exe is left after the uninstall"
[ ! -e "$DIR/target" ] || fail "the module tree is left after the uninstall"
! wine64 reg query "$KEY" >/dev/null 2>&1 || fail "the App Paths value is left after the uninstall"
echo "windows installer: installed, found through App Paths, removed"
