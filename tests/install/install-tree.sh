#!/bin/sh
# cmake --install of a build into a temporary prefix, then the installation
# checked and run from there (checks.sh); every installed file lies below the
# prefix, and the runs write nothing outside the test's own directory.
#   install-tree.sh BUILD_DIR
set -eu
BUILD=$(cd "$1" && pwd)
T=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-install.XXXXXX")
trap 'stop_started; rm -rf "$T"' EXIT
trap 'exit 130' INT TERM HUP
. "$(dirname "$0")/checks.sh"

etc_before=$([ -e /etc/zelkor ] && echo present || echo absent)
PREFIX=$T/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >"$T/install.log" 2>&1 || fail "cmake --install: $(cat "$T/install.log")"
outside=$(grep -v "^$PREFIX/" "$BUILD/install_manifest.txt" || true)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

check_installation "$PREFIX"
run_installed "$PREFIX"

[ "$([ -e /etc/zelkor ] && echo present || echo absent)" = "$etc_before" ] || fail "/etc/zelkor appeared"
echo "installation in $PREFIX: checked, demo verified"
