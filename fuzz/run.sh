#!/bin/sh
# Runs fuzz targets of a fuzz build one after another, each for SECONDS,
# starting from the committed inputs in fuzz/corpus/<target> and keeping what
# it learns in <build>/fuzz/corpus/<target>. A finding is written to
# <build>/fuzz/findings/ and makes the run fail.
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
set -eu
BUILD=$(cd "$1" && pwd)
SECONDS_EACH=$2
shift 2
SRC=$(cd "$(dirname "$0")" && pwd)
TARGETS=${*:-"HexReaderFuzz SrecReaderFuzz ElfReaderFuzz IniFuzz ScriptLineFuzz BootFileFuzz ReceiveEngineFuzz AnswerFuzz"}
mkdir -p "$BUILD/fuzz/findings"
failed=""
for t in $TARGETS; do
  work="$BUILD/fuzz/corpus/$t"
  seeds="$SRC/corpus/$t"
  mkdir -p "$work" "$seeds"
  echo "fuzz: $t for $SECONDS_EACH s"
  if ! "$BUILD/fuzz/$t" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$BUILD/fuzz/findings/$t-" "$work" "$seeds" >"$BUILD/fuzz/$t.log" 2>&1; then
    failed="$failed $t"
    tail -n 40 "$BUILD/fuzz/$t.log" >&2
  fi
  grep -E "^stat::number_of_executed_units|^#[0-9]+ +DONE" "$BUILD/fuzz/$t.log" | tail -n 2 || true
done
if [ -n "$failed" ]; then
  echo "fuzz: findings in$failed (inputs in $BUILD/fuzz/findings)" >&2
  exit 1
fi
echo "fuzz: no findings"
