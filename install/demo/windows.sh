#!/bin/sh
# The demo of the Windows build under Wine: the module simulator of the
# Linux build on a pseudo terminal, which a fresh Wine prefix offers as COM5;
# the module's COM1 is pointed at \\.\COM5, the App Paths value of the
# prefix's registry names the Windows installation. Quillrun.exe runs
# demo/download.qrs, then zelkor.exe flash --verify programs the image
# again (the simulated module's password given); after each the simulator's flash is compared with the image.
#   windows.sh WINDOWS_BIN LINUX_BIN
set -eu
WINBIN=$(cd "$1" && pwd)
BIN=$(cd "$2" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-windows.XXXXXX")
SIM=""
SERVER=""
. "$(dirname "$0")/modsim.sh"
. "$(dirname "$0")/wine.sh"
cleanup() {
  stop_child "$SIM"
  stop_wine
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

start_wine

start_modsim
ln -sf "$PTY" "$WINEPREFIX/dosdevices/com5"
ZELKOR_COM1='\\.\COM5'
# The image the Windows build made is the one programmed and compared.
IMAGE="$WINBIN/demo/demo.hex"
export ZELKOR_COM1
wine64 reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Zelkor3.exe' /v PATH /t REG_SZ \
  /d "Z:$(echo "$WINBIN" | tr / '\\')" /f >/dev/null 2>&1

echo "windows demo: ModSim on $PTY as COM5, Quillrun.exe demo/download.qrs"
(cd "$WINBIN" && wine64 Quillrun.exe --console 'demo\download.qrs')
verify_flash Quillrun.exe

echo "windows demo: zelkor.exe flash --verify"
(cd "$WINBIN" && ZELKOR_PASSWORD=zelkor wine64 zelkor.exe flash 'demo\demo.hex' --module 'Simulator\ZkSim-Download' --verify)
verify_flash zelkor.exe
