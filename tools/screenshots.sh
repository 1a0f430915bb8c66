#!/bin/sh
# The pictures of the workbench's pages in the README and the help: the real
# ZelkorGui, under Xvfb, against the module simulator (as make gui starts
# it), connects to ZkSim-Download, loads the demo image, asks every sector's
# status, downloads, and saves one PNG per page into doc/shots/.
#   tools/screenshots.sh [BUILD_DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/doc/shots"
. "$ROOT/install/demo/installation.sh"
if [ ! -x "$BIN/ZelkorGui" ]; then
  echo "screenshots: $BIN/ZelkorGui is not built" >&2
  exit 1
fi
command -v xvfb-run >/dev/null || { echo "screenshots: xvfb-run is missing (apt-get install xvfb)" >&2; exit 1; }
. "$ROOT/install/demo/simulator.sh"

# A profile of its own: the module to connect to, the needed sectors erased.
export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME/zelkor"
printf '[Software\\Korvane\\Zelkor\\ZelkorGui\\User]\nLastModul=Simulator\\ZkSim-Download\nEraseNeededSectorsFlag=1\nShowLog=1\n' \
  >"$XDG_CONFIG_HOME/zelkor/user.reg"
mkdir -p "$OUT"
(cd "$BIN" && ZELKOR_SCREENSHOTS="$OUT" ZELKOR_SCREENSHOT_IMAGE="$BIN/demo/demo.hex" \
  xvfb-run -a -s "-screen 0 1280x1024x24" ./ZelkorGui)
