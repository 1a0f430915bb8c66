# Sourced by the installation tests: checks of an installed prefix and runs
# of the programs installed there.
#   check_installation PREFIX         the layout, links, machine.reg,
#                                     permissions, manual pages, desktop entry
#   run_installed PREFIX              the programs through their links, the
#                                     demo script, a script run with COM1 in
#                                     the user hive and no registry override
#   stop_started                      ends every program run_installed
#                                     started in the background; the callers
#                                     run it from their EXIT trap
#   running_from DIR                  the processes whose program lies in DIR
# Both need $T, a scratch directory of the test.

# The pids of the programs started in the background, each the program's own.
STARTED=""

fail() {
  echo "install test: $*" >&2
  exit 1
}

check_link() {
  [ -L "$1" ] || fail "$1 is not a symbolic link"
  [ "$(readlink -f "$1")" = "$(readlink -f "$2")" ] || fail "$1 does not lead to $2"
}

check_installation() {
  prefix=$1
  dir=$prefix/lib/zelkor
  programs="Quillrun:quillrun ModSim:modsim"
  [ -e "$dir/ZelkorGui" ] && programs="$programs ZelkorGui:zelkor-gui"
  for pair in $programs; do
    name=${pair%%:*}
    [ -x "$dir/$name" ] && [ ! -L "$dir/$name" ] || fail "$dir/$name is not the program"
    check_link "$prefix/bin/$name" "$dir/$name"
    check_link "$prefix/bin/${pair##*:}" "$dir/$name"
    page=$prefix/share/man/man1/$name.1.gz
    [ -f "$page" ] || fail "no manual page $page"
    check_link "$prefix/share/man/man1/${pair##*:}.1.gz" "$page"
    if command -v groff >/dev/null; then
      warnings=$(gzip -dc "$page" | groff -man -ww -z 2>&1)
      [ -z "$warnings" ] || fail "$page: $warnings"
    fi
  done
  # zelkor has one name only, and a bash completion.
  [ -x "$dir/zelkor" ] && [ ! -L "$dir/zelkor" ] || fail "$dir/zelkor is not the program"
  check_link "$prefix/bin/zelkor" "$dir/zelkor"
  [ -f "$prefix/share/man/man1/zelkor.1.gz" ] || fail "no manual page zelkor.1.gz"
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$prefix/share/man/man1/zelkor.1.gz" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "zelkor.1.gz: $warnings"
  fi
  grep -q 'complete -F _zelkor zelkor' "$prefix/share/bash-completion/completions/zelkor" ||
    fail "no bash completion for zelkor"
  for lib in libZkPlatform.so libKORCmd.so libKORDm.so libTarnlink.so libTarnlinkDialog.so; do
    [ -f "$dir/$lib" ] || fail "no $dir/$lib"
  done
  if ldd "$dir/libTarnlink.so" | grep -qi qt; then fail "libTarnlink.so links Qt"; fi
  if command -v readelf >/dev/null; then
    for file in "$dir/Quillrun" "$dir/libKORDm.so"; do
      readelf -d "$file" | grep -q 'R.*PATH.*\[\$ORIGIN\]' || fail "$file has no RUNPATH \$ORIGIN"
    done
  fi
  expected=$(printf '[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=%s' "$dir")
  [ "$(cat "$dir/machine.reg")" = "$expected" ] || fail "machine.reg: $(cat "$dir/machine.reg")"
  for file in Zelkor.ini ModSim.ini FlashInfo/00a7x2101x0001.ini target/Simulator/ZkSim-Download/modul.ini \
    target/Simulator/ZkSim-Download/ZkBoot.bin target/Simulator/ZkSim-Download/ZkFlash.bin \
    demo/demo.sh demo/simulator.sh demo/modsim.sh demo/installation.sh demo/download.qrs demo/demo.hex; do
    [ -f "$dir/$file" ] || fail "no $dir/$file"
  done

  # Only the owner may write in the installation: no file or folder is
  # writable by a group or by others, and none is set-group-id.
  loose=$(find "$dir" ! -type l \( -perm /022 -o -perm /2000 \))
  [ -z "$loose" ] || fail "writable by a group or others, or setgid: $loose"

  if [ -e "$dir/ZelkorGui" ]; then
    entry=$prefix/share/applications/zelkor-gui.desktop
    [ -f "$entry" ] || fail "no desktop entry"
    grep -qx 'Exec=zelkor-gui' "$entry" || fail "the desktop entry does not start zelkor-gui"
    grep -qx 'Icon=zelkor' "$entry" || fail "the desktop entry has no icon zelkor"
    [ -f "$prefix/share/icons/hicolor/scalable/apps/zelkor.svg" ] || fail "no icon"
    [ -f "$dir/ZelkorGui.html" ] || fail "no help file"
  fi
}

# Runs its arguments with nothing of the caller's Zelkor environment and the
# home directory inside $T, in place of the shell that runs it: started with
# &, $! is then the program itself, which a kill reaches (a function run in
# the background is a subshell of its own, whose end leaves its children).
clean_exec() {
  exec env -u ZELKOR_MACHINE_REGISTRY -u XDG_CONFIG_HOME $(env | sed -n 's/^\(ZELKOR_COM[0-9]*\)=.*/-u \1/p') \
    HOME="$T/home" TMPDIR="$T/tmp" "$@"
}
clean_env() { (clean_exec "$@"); }

stop_started() {
  for pid in $STARTED; do kill "$pid" 2>/dev/null || true; done
  for pid in $STARTED; do wait "$pid" 2>/dev/null || true; done
  STARTED=""
}

running_from() {
  real=$(cd "$1" && pwd -P)
  for exe in /proc/[0-9]*/exe; do
    case $(readlink "$exe" 2>/dev/null) in "$real"/*) echo "${exe%/exe}: $(readlink "$exe")" ;; esac
  done
}

run_installed() {
  prefix=$1
  dir=$prefix/lib/zelkor
  mkdir -p "$T/home" "$T/tmp"
  for pair in Quillrun:quillrun ModSim:modsim ZelkorGui:zelkor-gui zelkor:zelkor; do
    [ -e "$dir/${pair%%:*}" ] || continue
    out=$(clean_env "$prefix/bin/${pair##*:}" --version) || fail "${pair##*:} --version failed"
    case $out in "${pair%%:*} (Zelkor) "[0-9]*) ;; *) fail "${pair##*:} --version: $out" ;; esac
    clean_env "$prefix/bin/${pair##*:}" --help | grep -q -- --version || fail "${pair##*:} --help"
  done

  # The demo as a user runs it: the script of the installation, no argument.
  out=$(clean_env sh "$dir/demo/demo.sh" 2>&1) || fail "the demo failed: $out"
  echo "$out" | grep -q '^verified: ' || fail "the demo did not verify: $out"
  # Traced, every frame decoded and as many each way as the simulator saw.
  out=$(clean_env env ZELKOR_TRACE="$T/demo.trace" sh "$dir/demo/demo.sh" 2>&1) || fail "the traced demo failed: $out"
  echo "$out" | grep -q '^trace: .* as the module saw them' || fail "the traced demo: $out"

  # The demo's commands through bin/quillrun, COM1 mapped in the user hive:
  # only the installation's own machine.reg tells the runner where it is.
  sim_out=$T/sim.out
  clean_exec "$prefix/bin/modsim" --flash-file "$T/flash.img" >"$sim_out" 2>"$T/sim.err" &
  sim=$!
  STARTED="$STARTED $sim"
  tries=0
  while ! grep -q . "$sim_out"; do
    tries=$((tries + 1))
    [ $tries -le 100 ] && kill -0 $sim 2>/dev/null || fail "the simulator did not start: $(cat "$T/sim.err")"
    sleep 0.1
  done
  pty=$(head -n 1 "$sim_out")
  mkdir -p "$T/home/.config/zelkor"
  printf '[Software\\Korvane\\Zelkor\\Ports]\nCOM1=%s\n' "$pty" >"$T/home/.config/zelkor/user.reg"
  ports=$(clean_env "$prefix/bin/quillrun" --list-ports)
  echo "$ports" | grep -q "^COM1 .*$pty.*(user hive" || fail "--list-ports does not show COM1: $ports"
  (cd "$dir" && clean_env "$prefix/bin/quillrun" --console demo/download.qrs) >"$T/run.out" 2>&1 ||
    fail "quillrun failed: $(cat "$T/run.out")"
  # The same image again through zelkor, checked against the flash.
  clean_env env ZELKOR_PASSWORD=zelkor "$prefix/bin/zelkor" flash "$dir/demo/demo.hex" \
    --module Simulator/ZkSim-Download --port "$pty" --verify -q >"$T/zelkor.out" 2>&1 ||
    fail "zelkor flash failed: $(cat "$T/zelkor.out")"
  stop_started
  if command -v objcopy >/dev/null; then
    objcopy -I ihex -O binary --gap-fill 0xff "$dir/demo/demo.hex" "$T/image.bin"
    cmp -s -n "$(wc -c <"$T/image.bin")" "$T/image.bin" "$T/flash.img" || fail "the flash differs from the image"
  fi

  # The workbench starts and keeps running until it is closed.
  if [ -e "$dir/ZelkorGui" ]; then
    clean_exec env QT_QPA_PLATFORM=offscreen "$prefix/bin/zelkor-gui" >"$T/gui.out" 2>&1 &
    gui=$!
    STARTED="$STARTED $gui"
    sleep 2
    kill -0 $gui 2>/dev/null || fail "the workbench ended at once: $(cat "$T/gui.out")"
    stop_started
  fi
  strays=$(running_from "$dir")
  [ -z "$strays" ] || fail "programs of the installation still run: $strays"
}
