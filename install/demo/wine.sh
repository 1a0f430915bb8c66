# Sourced by windows.sh and tools/windows-test.sh: a fresh Wine prefix in
# $WORK/prefix with a server of its own.

# start_wine: the prefix made and booted, its server started here in the
# foreground of its own, stdin from /dev/null: it never takes a pseudo
# terminal (the simulator's) for its terminal. SERVER is its process. No
# Mono or Gecko: the prefix needs neither.
start_wine() {
  PATH=/usr/lib/wine:$PATH
  WINEPREFIX="$WORK/prefix"
  WINEDEBUG=${WINEDEBUG:--all}
  WINEDLLOVERRIDES="mscoree,mshtml="
  export PATH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  mkdir -p "$WINEPREFIX"
  wineserver -f -p </dev/null >"$WORK/wineserver.log" 2>&1 &
  SERVER=$!
  wine64 wineboot -i </dev/null >"$WORK/wineboot.log" 2>&1
}

# stop_wine: ends the prefix's server and waits for it (nothing when none
# was started).
stop_wine() {
  if [ -n "${SERVER:-}" ]; then
    wineserver -k 2>/dev/null || true
    wait "$SERVER" 2>/dev/null || true
  fi
}
