#!/bin/sh
# The test programs of the Windows build (<build>/tests/windows-tests.txt),
# each run whole under Wine in one fresh prefix and judged by its own XML
# report: a program passes when the report exists and counts no failure and
# no error, and the program ended with 0 before its time ran out (a crash
# under Wine may still end with 0, but leaves no report). Prints what each
# ran, every skipped test with its reason and the sources the Windows build
# leaves out with theirs. The link tests talk over two COM ports joined by a
# relay of two pseudo terminals (socat): COM20 for the code under test, COM21
# for the test's end ($ZK_TEST_LINE).
#   windows-test.sh WINDOWS_BUILD [SECONDS_PER_PROGRAM]
set -eu
BUILD=$(cd "$1" && pwd)
LIMIT=${2:-600}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelkor-windows-test.XXXXXX")
SERVER=""
RELAY=""
HOLDER=""
. "$HERE/../install/demo/wine.sh"
cleanup() {
  [ -z "$HOLDER" ] || kill "$HOLDER" 2>/dev/null || true
  [ -z "$RELAY" ] || kill "$RELAY" 2>/dev/null || true
  stop_wine
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# windows_path PATH: the path as Wine's drive Z: spells it.
windows_path() {
  printf 'Z:%s\n' "$1" | tr / '\\'
}

# attribute NAME FILE: the value of NAME on the report's first <testsuites>.
attribute() {
  sed -n "s/.*<testsuites [^>]*\\b$1=\"\\([0-9]*\\)\".*/\\1/p" "$2" | head -n 1
}

start_wine
# The relayed line. A process of ours keeps both terminals open, so that
# neither side hangs up while a test closes its port.
socat pty,raw,echo=0,link="$WORK/line-code" pty,raw,echo=0,link="$WORK/line-peer" </dev/null 2>"$WORK/socat.log" &
RELAY=$!
for _ in $(seq 50); do
  [ -e "$WORK/line-code" ] && [ -e "$WORK/line-peer" ] && break
  sleep 0.1
done
[ -e "$WORK/line-code" ] && [ -e "$WORK/line-peer" ] || { echo "no relayed line (socat)" >&2; exit 1; }
sleep 1000000 3<>"$WORK/line-code" 4<>"$WORK/line-peer" </dev/null &
HOLDER=$!
ln -sf "$(readlink "$WORK/line-code")" "$WINEPREFIX/dosdevices/com20"
ln -sf "$(readlink "$WORK/line-peer")" "$WINEPREFIX/dosdevices/com21"
ZK_TEST_LINE=20,21
export ZK_TEST_LINE
# The programs find the build's DLLs (and the compiler's runtime) in bin.
WINEPATH=$(windows_path "$BUILD/bin")
export WINEPATH

failed=""
programs=0
total=0
skipped=0
: >"$WORK/skipped.txt"
for program in $(cat "$BUILD/tests/windows-tests.txt"); do
  programs=$((programs + 1))
  report="$WORK/$program.xml"
  log="$WORK/$program.log"
  status=0
  (cd "$BUILD/tests" && timeout -k 10 "$LIMIT" wine64 "$program.exe" "--gtest_output=xml:$(windows_path "$report")" \
    </dev/null >"$log" 2>&1) || status=$?
  if [ ! -s "$report" ]; then
    verdict="no report, exit $status"
    [ "$status" -ne 124 ] || verdict="no report, timed out after $LIMIT s"
  else
    tests=$(attribute tests "$report")
    failures=$(attribute failures "$report")
    errors=$(attribute errors "$report")
    skips=$(grep -c 'result="skipped"' "$report" || true)
    total=$((total + tests))
    skipped=$((skipped + skips))
    # Each skipped test: its name and the reason after the file:line.
    awk -v program="$program" '
      /<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7)
                     match($0, /classname="[^"]*"/); suite = substr($0, RSTART + 11, RLENGTH - 12) }
      /<skipped message=/ { match($0, /message="[^"]*"/); text = substr($0, RSTART + 9, RLENGTH - 10)
                            sub(/^[^&]*&#x0A;/, "", text); gsub(/&#x0A;/, " ", text)
                            gsub(/&quot;/, "\"", text); gsub(/&apos;/, "'"'"'", text)
                            gsub(/&lt;/, "<", text); gsub(/&gt;/, ">", text); gsub(/&amp;/, "\\&", text)
                            print "  " program " " suite "." name ": " text }' "$report" >>"$WORK/skipped.txt"
    if [ "$failures" != 0 ] || [ "$errors" != 0 ] || [ "$status" -ne 0 ]; then
      verdict="$tests tests, $failures failed, $errors errors, exit $status"
    else
      echo "$program: $((tests - skips)) of $tests tests passed, $skips skipped"
      continue
    fi
  fi
  echo "$program: FAILED: $verdict"
  # The failed tests, or for a run that ended early the test it was in.
  if [ -s "$report" ]; then
    grep -E '^\[  FAILED  \] [A-Za-z].* \(' "$log" | sed 's/^/  /' || true
  else
    grep '^\[ RUN' "$log" | tail -n 1 | sed 's/^/  in: /' || true
  fi
  if [ -n "${ZK_WINDOWS_TEST_LOGS:-}" ]; then
    mkdir -p "$ZK_WINDOWS_TEST_LOGS"
    cp "$log" "$ZK_WINDOWS_TEST_LOGS/"
  fi
  failed="$failed $program"
done

echo "windows tests: $programs programs, $total tests, $((total - skipped)) run, $skipped skipped:"
cat "$WORK/skipped.txt"
echo "left out of the Windows build:"
sed '/^$/d; s/^/  /' "$BUILD/tests/windows-excluded.txt"
if [ -n "$failed" ]; then
  echo "windows tests failed:$failed" >&2
  exit 1
fi
