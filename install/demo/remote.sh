#!/bin/sh
# make demo-remote: the demo through ser2net. The simulator's pseudo terminal
# is served over RFC 2217 on 127.0.0.1 by ser2net with a configuration of
# its own, COM1 is mapped to rfc2217://127.0.0.1:<port>, and the simulator's
# flash is compared with the demo image.
#   remote.sh [BUILD_DIR | INSTALLATION_DIR]
set -eu
. "$(dirname "$0")/installation.sh"
. "$(dirname "$0")/simulator.sh"

if ! command -v ser2net >/dev/null 2>&1; then
  echo "demo-remote: ser2net is not installed (apt-get install ser2net)" >&2
  exit 1
fi
SERVER=""
stop_server() {
  stop_child "$SERVER"
  SERVER=""
}
trap 'stop_server; cleanup' EXIT

# A port nothing listens on: ser2net says so when it cannot take one.
tries=0
while [ -z "$SERVER" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 10 ]; then
    echo "demo-remote: ser2net did not start" >&2
    cat "$WORK/ser2net.log" >&2
    exit 1
  fi
  port=$((20000 + ($$ * 7 + tries * 997) % 40000))
  cat >"$WORK/ser2net.yaml" <<CONFIG
%YAML 1.1
---
connection: &zk
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port
  connector: serialdev,$ZELKOR_COM1,57600n81,local
  options:
    chardelay: false
CONFIG
  : >"$WORK/ser2net.log"
  ser2net -n -d -c "$WORK/ser2net.yaml" -P "$WORK/ser2net.pid" >"$WORK/ser2net.log" 2>&1 &
  SERVER=$!
  sleep 0.5
  if grep -q "Unable to startup" "$WORK/ser2net.log" || ! kill -0 "$SERVER" 2>/dev/null; then stop_server; fi
done
ZELKOR_COM1=rfc2217://127.0.0.1:$port
export ZELKOR_COM1

echo "demo-remote: ModSim behind ser2net on $ZELKOR_COM1, running demo/download.qrs"
(cd "$BIN" && ./Quillrun --console demo/download.qrs)
stop_server
stop_sim

verify_flash demo-remote
