#!/bin/sh
# make demo: runs the demo script with the console runner against the module
# simulator and compares the simulator's flash with the demo image.
#   demo.sh [BUILD_DIR | INSTALLATION_DIR]
set -eu
. "$(dirname "$0")/installation.sh"
. "$(dirname "$0")/simulator.sh"

echo "demo: ModSim on $ZELKOR_COM1, running demo/download.qrs"
(cd "$BIN" && ./Quillrun --console demo/download.qrs)
stop_sim

objcopy -I ihex -O binary --gap-fill 0xff "$BIN/demo/demo.hex" "$WORK/image.bin"
size=$(wc -c <"$WORK/image.bin" | tr -d ' ')
if ! cmp -s -n "$size" "$WORK/image.bin" "$WORK/flash.img"; then
  echo "demo: the flash differs from the image" >&2
  cmp -n "$size" "$WORK/image.bin" "$WORK/flash.img" >&2 || true
  exit 1
fi
echo "verified: $size bytes"
