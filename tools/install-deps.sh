#!/bin/sh
# Installs the Debian packages the build, the tests, the demo and the package
# need, when any of them is missing, and the further packages named as
# arguments (the sanitizer and fuzz builds add clang). Uses sudo when not run
# as root.
set -e
PKGS="cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev \
srecord binutils nlohmann-json3-dev xvfb xauth dpkg-dev file ser2net lintian $*"
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
