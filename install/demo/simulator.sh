# Sourced by demo.sh and gui.sh: starts the module simulator on a pseudo
# terminal with line-rate emulation at 57600 and its flash kept in $WORK
# (modsim.sh), maps COM1 to it, points the registry at the installation
# $BIN, and stops the simulator and removes $WORK whenever the calling
# script ends.
#   BIN=<installation directory> . simulator.sh
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-demo.XXXXXX")
SIM=""

. "$BIN/demo/modsim.sh"

stop_sim() {
  stop_child "$SIM"
  SIM=""
}
cleanup() {
  stop_sim
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# With ZELKOR_TRACE set the simulator keeps a trace of its own, so that the
# host's can be checked against it (check_trace).
if [ -n "${ZELKOR_TRACE:-}" ]; then start_modsim --trace "$WORK/module.trace"; else start_modsim; fi
ZELKOR_COM1=$PTY
export ZELKOR_COM1
# The installation directory of this build, whatever registry the user has.
printf '[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=%s\n' "$BIN" >"$WORK/machine.reg"
ZELKOR_MACHINE_REGISTRY="$WORK/machine.reg"
export ZELKOR_MACHINE_REGISTRY

# check_trace: with ZELKOR_TRACE set (to a file), prints the frames of the
# host's trace each way and fails when the simulator saw other counts.
check_trace() {
  [ -n "${ZELKOR_TRACE:-}" ] || return 0
  [ "$ZELKOR_TRACE" != "-" ] || return 0
  sent=$(grep -cE '^ *[0-9]+\.[0-9]{3} -> ' "$ZELKOR_TRACE" || true)
  received=$(grep -cE '^ *[0-9]+\.[0-9]{3} <- ' "$ZELKOR_TRACE" || true)
  seen=$(grep -cE '^ *[0-9.]+ rx 3964R ' "$WORK/module.trace" || true)
  answered=$(grep -cE '^ *[0-9.]+ tx 3964R ' "$WORK/module.trace" || true)
  undecoded=$(grep -E '^ *[0-9]+\.[0-9]{3} (->|<-) ' "$ZELKOR_TRACE" |
    grep -cvE '(->|<-) [0-9A-F]{2} [A-Z][A-Za-z]+( |$)' || true)
  if [ "$undecoded" != 0 ]; then
    echo "trace: $undecoded frames without a command name in $ZELKOR_TRACE" >&2
    exit 1
  fi
  if [ "$sent" != "$seen" ] || [ "$received" != "$answered" ]; then
    echo "trace: $sent frames sent and $received received, but the module saw $seen and sent $answered" >&2
    exit 1
  fi
  echo "trace: $sent frames sent, $received received, as the module saw them ($ZELKOR_TRACE)"
}
