#!/usr/bin/env bash
# Builds the release preset, generates a 1 GiB stream, runs the stream
# benchmark on it, and measures the peak memory of the tool on it.
#
#   bench/run.sh                 everything, 1 GiB stream in /tmp
#   SIZE_MB=256 bench/run.sh     a smaller stream
#   BENCH_DIR=/data bench/run.sh where the generated stream goes
#   BUILD_DIR=build/x bench/run.sh  use an already configured build directory
#
# The generated stream is deleted at the end.
set -euo pipefail

cd "$(dirname "$0")/.."
SIZE_MB=${SIZE_MB:-1024}
BENCH_DIR=${BENCH_DIR:-/tmp}
BUILD_DIR=${BUILD_DIR:-build/release}

if [[ $BUILD_DIR == build/release ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target pressel_tool pressel_gen_stream bench_stream
else
  cmake --build "$BUILD_DIR" -j2 --target pressel_tool pressel_gen_stream bench_stream
fi

if [[ ! -x /usr/bin/time ]]; then
  echo "/usr/bin/time is missing: apt-get install -y time" >&2
  exit 1
fi

BIG="$BENCH_DIR/pressel_bench_${SIZE_MB}M.$$.afp"
trap 'rm -f "$BIG"' EXIT

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "$(free -g | awk '/^Mem:/ {print $2}') GiB memory, kernel $(uname -r)"

echo "== generating $SIZE_MB MiB stream"
"$BUILD_DIR/pressel_gen_stream" "$BIG" "$SIZE_MB"

echo "== benchmark"
PRESSEL_BENCH_FILE="$BIG" PRESSEL_TOOL="$BUILD_DIR/pressel" "$BUILD_DIR/bench_stream" --benchmark_color=false

echo "== peak memory (maximum resident set size)"
peak() {
  local label=$1; shift
  local log="$BENCH_DIR/pressel_time.$$"
  /usr/bin/time -v "$@" >/dev/null 2>"$log" || { echo "$label failed:"; cat "$log"; }
  awk -F: -v label="$label" '/Maximum resident set size/ {
      gsub(/ /, "", $2); printf "%-28s %8d KiB (%.1f MiB)\n", label, $2, $2 / 1024 }' "$log"
  rm -f "$log"
}
peak "pressel cat BIG /dev/null" "$BUILD_DIR/pressel" cat "$BIG" /dev/null
peak "pressel chunks BIG" "$BUILD_DIR/pressel" chunks "$BIG"
peak "cat BIG (baseline)" /bin/cat "$BIG"
