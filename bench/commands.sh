#!/usr/bin/env bash
# One benchmark per command of the tool, on two generated streams, each
# printed with its input throughput, CPU time, peak memory and its ratio to
# `cat` and to `pressel cat` of the same file, measured in the same run.
#
#   bench/commands.sh                    both streams, 256 MiB each
#   SIZE_MB=1024 bench/commands.sh       1 GiB streams (peak memory figures)
#   STREAMS=letters bench/commands.sh    one stream only (fop, foptext, letters or varied)
#   COMMANDS="cat text" bench/commands.sh   only these benchmarks (and the baselines)
#   REPS=5 bench/commands.sh             repetitions (the best one is printed)
#   BENCH_DIR=/data bench/commands.sh    where the generated streams go
#   OUT_DIR=/tmp bench/commands.sh       where written files go (default /dev/shm)
#   BUILD_DIR=build/x bench/commands.sh  an already built build directory
#   KEEP=1 bench/commands.sh             keep the generated streams for the next run
#   PRESSEL=/path/pressel bench/commands.sh   another build of the tool (before and after)
#
# The streams:
#   fop      the pages of the FOP-made samples of tests/data, each with the
#            image object of the corpus file bim.afp (thirteen image data
#            fields of up to 32 KiB): large fields, about 20 KiB on average
#   foptext  the pages of the FOP-made samples of tests/data as they are (text,
#            font maps, small graphics): small fields, about 67 bytes on average
#   letters  the pages of tests/data/letter.afp only: small fields (about 60
#            bytes on average), most of them presentation text
#   varied   the letters stream with no two pages alike (pressel_gen_stream
#            --vary: the digits of each page's text and its page name differ),
#            as in a print file of statements; the other streams repeat
#            their pages byte for byte
# Both are put in named page groups of 50 pages with an index tag, so that
# `split` has groups to cut at.
#
# The floor_* rows are the bare work with nothing decoded (pressel_bench_floor):
# hopping from field to field by their lengths, hopping also from control
# sequence to control sequence in presentation text, hopping and writing a
# line per field (offset, identifier, name, length: what `chunks` writes),
# hex-encoding every byte, mapping every byte through a table; a command
# cannot beat the floor of
# the work it must do.
#
# Throughput is input bytes over CPU time (user + system) of the best
# repetition, so the figures mean something on a machine shared with other
# work; the wall time is printed too.
set -euo pipefail

cd "$(dirname "$0")/.."
SIZE_MB=${SIZE_MB:-256}
BENCH_DIR=${BENCH_DIR:-/tmp}
OUT_DIR=${OUT_DIR:-/dev/shm}
BUILD_DIR=${BUILD_DIR:-build/release}
REPS=${REPS:-3}
STREAMS=${STREAMS:-"fop foptext letters"}
COMMANDS=${COMMANDS:-"floor_hop floor_nest floor_list floor_hex floor_map cat chunks dump dump_json dump_view text rename strip check info split"}
KEEP=${KEEP:-}

if [[ $BUILD_DIR == build/release && ! -x $BUILD_DIR/pressel ]]; then
  cmake --preset release >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target pressel_tool pressel_gen_stream pressel_bench_run pressel_bench_floor >/dev/null
P=${PRESSEL:-$BUILD_DIR/pressel}
GEN=$BUILD_DIR/pressel_gen_stream
RUN=$BUILD_DIR/pressel_bench_run
FLOOR=$BUILD_DIR/pressel_bench_floor
WORK=$(mktemp -d "$OUT_DIR/pressel_bench.XXXXXX")
cleanup() {
  rm -rf "$WORK"
  if [[ -z $KEEP ]]; then rm -f "$BENCH_DIR"/pressel_bench_{fop,foptext,letters,varied}_"${SIZE_MB}"M.afp; fi
}
trap cleanup EXIT

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "$(free -g | awk '/^Mem:/ {print $2}') GiB memory, kernel $(uname -r), load average $(cut -d' ' -f1-3 /proc/loadavg)"

stream() {
  local kind=$1 file="$BENCH_DIR/pressel_bench_$1_${SIZE_MB}M.afp"
  if [[ ! -s $file ]]; then
    case $kind in
      fop) "$GEN" --groups 50 --object /work/shared/corpus/afplib/bim.afp "$file" "$SIZE_MB" >&2 ||
             "$GEN" --groups 50 --object tests/data/corpus/bim.afp "$file" "$SIZE_MB" >&2 ;;
      foptext) "$GEN" --groups 50 "$file" "$SIZE_MB" >&2 ;;
      letters) "$GEN" --groups 50 "$file" "$SIZE_MB" tests/data/letter.afp >&2 ;;
      varied) "$GEN" --groups 50 --vary "$file" "$SIZE_MB" tests/data/letter.afp >&2 ;;
      *) echo "unknown stream '$kind' (fop, foptext, letters or varied)" >&2; exit 1 ;;
    esac
  fi
  echo "$file"
}

# measure CMD...: runs the command REPS times (standard output to /dev/null,
# written files in $WORK, removed after each run) and sets BEST_CPU, BEST_WALL (seconds) and
# PEAK (KiB) of the repetition with the least CPU time.
measure() {
  BEST_CPU= BEST_WALL= PEAK=0
  for ((r = 0; r < REPS; r++)); do
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    read -r wall user sys rss status < <("$RUN" /dev/null "$WORK/stderr" "$@")
    if ((status != 0)); then
      echo "failed ($status): $*" >&2
      cat "$WORK/stderr" >&2
      exit 1
    fi
    local cpu
    cpu=$(echo "$user + $sys" | bc -l)
    if [[ -z $BEST_CPU ]] || (($(echo "$cpu < $BEST_CPU" | bc -l))); then
      BEST_CPU=$cpu BEST_WALL=$wall
    fi
    ((rss > PEAK)) && PEAK=$rss
  done
  rm -rf "$WORK/out" "$WORK/stderr"
}

for kind in $STREAMS; do
  IN=$(stream "$kind")
  BYTES=$(stat -c %s "$IN")
  FIELDS=$("$P" chunks -q "$IN" | wc -l)
  echo
  echo "== $kind: $BYTES bytes, $FIELDS structured fields ($((BYTES / FIELDS)) bytes a field), best of $REPS"
  printf '%-12s %10s %9s %9s %10s %8s %12s\n' benchmark 'MB/s(CPU)' 'CPU s' 'wall s' 'peak MiB' 'x cat' 'x pressel cat'
  row() {
    local name=$1 mbs
    mbs=$(echo "$BYTES / $BEST_CPU / 1000000" | bc -l)
    printf '%-12s %10.0f %9.3f %9.2f %10.1f %8.2f %12.2f\n' "$name" "$mbs" "$BEST_CPU" "$BEST_WALL" \
      "$(echo "$PEAK / 1024" | bc -l)" "$(echo "$BEST_CPU / $CAT_CPU" | bc -l)" \
      "$(echo "$BEST_CPU / $PCAT_CPU" | bc -l)"
  }
  measure /bin/cat "$IN"
  CAT_CPU=$BEST_CPU PCAT_CPU=$BEST_CPU
  row cat_baseline
  measure /bin/cp "$IN" "$WORK/out/copy.afp"
  row cp_to_file
  measure "$P" cat -q "$IN" /dev/null
  PCAT_CPU=$BEST_CPU
  row cat
  for cmd in $COMMANDS; do
    case $cmd in
      cat) continue ;;  # measured above, as the second baseline
      floor_hop) measure "$FLOOR" hop "$IN" ;;
      floor_nest) measure "$FLOOR" nest "$IN" ;;
      floor_list) measure "$FLOOR" list "$IN" ;;
      floor_hex) measure "$FLOOR" hex "$IN" ;;
      floor_map) measure "$FLOOR" map "$IN" ;;
      chunks) measure "$P" chunks -q "$IN" ;;
      dump) measure "$P" dump "$IN" ;;
      dump_json) measure "$P" dump --json "$IN" ;;
      dump_view) measure "$P" dump --view "$IN" ;;
      text) measure "$P" text "$IN" ;;
      rename) measure "$P" rename -q "$IN" "$WORK/out/renamed.afp" C0H20090=C0H20091 ;;
      strip) measure "$P" strip -q "$IN" "$WORK/out/stripped.afp" PTX_NOP ;;
      check) measure "$P" check -q "$IN" ;;
      info) measure "$P" info "$IN" ;;
      split) measure "$P" split -q "$IN" -o "$WORK/out/g%06d.afp" ;;
      *) echo "unknown benchmark '$cmd'" >&2; exit 1 ;;
    esac
    row "$cmd"
  done
done
