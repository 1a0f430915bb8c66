#!/bin/sh
# clang-tidy with the checks of .clang-tidy over the project's own sources in
# <build>/compile_commands.json (not Qt's generated files, not the build
# directories): tidy.sh <build> [jobs] [folders]. The folders (every source
# folder unless told) are given as "platform common ...". Fails on any
# finding.
set -e
build=$1
jobs=${2:-2}
folders=${3:-platform common client cmd dm link gui runner cli modsim bench tests fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if run-clang-tidy -quiet -p "$build" -j "$jobs" \
    "^$root/($(echo $folders | tr ' ' '|'))/.*\.cpp$" >"$log" 2>&1; then
  echo "tidy: no findings"
else
  grep -E "(warning|error):" "$log" | sort -u
  echo "tidy: findings above" >&2
  exit 1
fi
