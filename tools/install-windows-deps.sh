#!/bin/sh
# Installs the Debian packages of the Windows cross build and its tests when
# any of them is missing: MinGW-w64 with the posix thread model (not the
# metapackage, which would make the win32 model the default), Wine to run
# the programs, GoogleTest's sources to build for Windows, zip for the
# installation archive and makensis for the installer. Uses sudo when not
# run as root.
set -e
PKGS="cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest zip nsis $*"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "installing:$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
