#!/bin/sh
# Runs fuzz targets of a fuzz build, JOBS at a time (FUZZ_JOBS, 2 unless
# told), each for SECONDS, starting from the committed inputs in
# fuzz/corpus/<target> and keeping what it learns in
# <build>/fuzz/corpus/<target>. A finding is written to
# <build>/fuzz/findings/ and makes the run fail.
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
set -eu
BUILD=$(cd "$1" && pwd)
SECONDS_EACH=$2
shift 2
SRC=$(cd "$(dirname "$0")" && pwd)
JOBS=${FUZZ_JOBS:-2}
TARGETS=${*:-"HexReaderFuzz SrecReaderFuzz ElfReaderFuzz IniFuzz ScriptLineFuzz BootFileFuzz ReceiveEngineFuzz AnswerFuzz"}
mkdir -p "$BUILD/fuzz/findings"

# fuzz_one TARGET: one target's run; its log in <build>/fuzz/TARGET.log and
# a mark <build>/fuzz/TARGET.failed when it found something.
fuzz_one() {
  work="$BUILD/fuzz/corpus/$1"
  seeds="$SRC/corpus/$1"
  mkdir -p "$work" "$seeds"
  rm -f "$BUILD/fuzz/$1.failed"
  "$BUILD/fuzz/$1" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$BUILD/fuzz/findings/$1-" "$work" "$seeds" >"$BUILD/fuzz/$1.log" 2>&1 ||
    : >"$BUILD/fuzz/$1.failed"
}

# report TARGET: what it ran, and the end of its log when it found something.
report() {
  echo "fuzz: $1 for $SECONDS_EACH s"
  grep -E "^stat::number_of_executed_units|^#[0-9]+ +DONE" "$BUILD/fuzz/$1.log" | tail -n 2 || true
  if [ -e "$BUILD/fuzz/$1.failed" ]; then
    tail -n 40 "$BUILD/fuzz/$1.log" >&2
    return 1
  fi
}

# The targets all run for the same time, so a batch of JOBS ends together.
failed=""
set -- $TARGETS
while [ $# -gt 0 ]; do
  batch=""
  while [ $# -gt 0 ] && [ "$(echo $batch | wc -w)" -lt "$JOBS" ]; do
    fuzz_one "$1" &
    batch="$batch $1"
    shift
  done
  wait
  for t in $batch; do
    report "$t" || failed="$failed $t"
  done
done
if [ -n "$failed" ]; then
  echo "fuzz: findings in$failed (inputs in $BUILD/fuzz/findings)" >&2
  exit 1
fi
echo "fuzz: no findings"
