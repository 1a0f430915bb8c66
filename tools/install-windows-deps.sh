#!/bin/sh
# Installs the Debian packages of the Windows cross build and its tests when
# any of them is missing, beside those of the Linux build (the simulator and
# the demo's tools run on Linux): MinGW-w64 with the posix thread model (not
# the metapackage, which would make the win32 model the default), Wine to run
# the programs, GoogleTest's sources to build for Windows, socat for the
# link tests' line, zip for the installation archive and makensis for the
# installer.
exec sh "$(dirname "$0")/install-deps.sh" g++-mingw-w64-x86-64-posix wine64 googletest socat zip nsis "$@"
