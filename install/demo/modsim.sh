# Sourced by simulator.sh and windows.sh: the module simulator of the Linux
# installation $BIN, its flash kept in $WORK, and the check of that flash.

# stop_child PID: ends a child of this shell and waits for it (nothing for
# an empty PID).
stop_child() {
  if [ -n "$1" ]; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}

# start_modsim [ARG...]: starts the simulator with line-rate emulation at
# 57600, its flash in $WORK/flash.img and the further arguments; SIM is its
# process, PTY the pseudo terminal it names on its first line. Fails when
# it does not start.
start_modsim() {
  "$BIN/ModSim" --baud-emulation --baud 57600 --flash-file "$WORK/flash.img" "$@" \
    >"$WORK/modsim.out" 2>"$WORK/modsim.err" &
  SIM=$!
  tries=0
  while ! grep -q . "$WORK/modsim.out" 2>/dev/null; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 "$SIM" 2>/dev/null; then
      echo "the simulator did not start" >&2
      cat "$WORK/modsim.err" >&2
      exit 1
    fi
    sleep 0.1
  done
  PTY=$(head -n 1 "$WORK/modsim.out")
}

# verify_flash LABEL: compares the simulator's flash with the demo image
# ($IMAGE, else the one of $BIN) and prints "verified: N bytes", or fails
# naming LABEL.
verify_flash() {
  objcopy -I ihex -O binary --gap-fill 0xff "${IMAGE:-$BIN/demo/demo.hex}" "$WORK/image.bin"
  size=$(wc -c <"$WORK/image.bin" | tr -d ' ')
  if ! cmp -s -n "$size" "$WORK/image.bin" "$WORK/flash.img"; then
    echo "$1: the flash differs from the image" >&2
    cmp -n "$size" "$WORK/image.bin" "$WORK/flash.img" >&2 || true
    exit 1
  fi
  echo "verified: $size bytes"
}
