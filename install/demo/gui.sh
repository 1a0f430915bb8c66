#!/bin/sh
# make gui: opens the workbench against the module simulator, started as for
# the demo; the simulator ends with the workbench.
#   gui.sh [BUILD_DIR | INSTALLATION_DIR]
set -eu
. "$(dirname "$0")/installation.sh"
if [ ! -x "$BIN/ZelkorGui" ]; then
  echo "gui: $BIN/ZelkorGui is not built" >&2
  exit 1
fi
. "$(dirname "$0")/simulator.sh"

echo "gui: ModSim on $ZELKOR_COM1 (module ZkSim-Download on COM1)"
(cd "$BIN" && ./ZelkorGui)
