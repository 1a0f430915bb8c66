#!/bin/sh
# make demo-gang: four simulated modules programmed at once by zelkor, one
# of them with a seeded fault that only verification sees; the table shows
# it failed and the other three verified.
#   gang.sh [BUILD_DIR | INSTALLATION_DIR]
set -eu
. "$(dirname "$0")/installation.sh"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-gang.XXXXXX")
SIMS=""
cleanup() {
  for pid in $SIMS; do kill "$pid" 2>/dev/null || true; done
  for pid in $SIMS; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

ports=""
for n in 1 2 3 4; do
  # Module 3 flips the same bit in two bytes of a program request, which the
  # link's check character cannot see.
  fault=""
  [ $n -eq 3 ] && fault="--fault cancel-rx@20"
  "$BIN/ModSim" --baud-emulation --link "$WORK/module$n" --flash-file "$WORK/flash$n.img" $fault \
    >"$WORK/modsim$n.out" 2>"$WORK/modsim$n.err" &
  SIMS="$SIMS $!"
  ports="$ports --port $WORK/module$n"
done
tries=0
for n in 1 2 3 4; do
  while [ ! -e "$WORK/module$n" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { echo "the simulators did not start" >&2; exit 1; }
    sleep 0.1
  done
done
printf '[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=%s\n' "$BIN" >"$WORK/machine.reg"
export ZELKOR_MACHINE_REGISTRY="$WORK/machine.reg"
export ZELKOR_PASSWORD=zelkor

echo "demo-gang: four simulated modules, module3 with a seeded fault"
set +e
"$BIN/zelkor" flash "$BIN/demo/demo.hex" --module Simulator/ZkSim-Download --verify $ports --log "$WORK/gang.log"
rc=$?
set -e
echo "zelkor ended with exit code $rc (0 only when every module succeeded); the production log:"
cat "$WORK/gang.log"
verified=$(grep -c '"result":"verified"' "$WORK/gang.log" || true)
failed=$(grep -c '"result":"failed"' "$WORK/gang.log" || true)
if [ "$rc" -ne 3 ] || [ "$verified" -ne 3 ] || [ "$failed" -ne 1 ]; then
  echo "demo-gang: expected three verified and the seeded one failed" >&2
  exit 1
fi
