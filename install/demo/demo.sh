#!/bin/sh
# make demo: runs the demo script with the console runner against the module
# simulator and compares the simulator's flash with the demo image.
#   demo.sh [BUILD_DIR | INSTALLATION_DIR]
# With ZELKOR_TRACE=FILE the run's wire trace goes to FILE and is checked
# against the simulator's own.
set -eu
. "$(dirname "$0")/installation.sh"
. "$(dirname "$0")/simulator.sh"

echo "demo: ModSim on $ZELKOR_COM1, running demo/download.qrs"
(cd "$BIN" && ./Quillrun --console demo/download.qrs)
stop_sim

verify_flash demo
check_trace
