#!/usr/bin/env bash
# Compares two builds of the tool command by command, their runs taking
# turns (A, B, A, B, ...) so that a machine whose speed drifts during the
# run (other work on the host) moves both alike. Prints, per command, the
# best CPU time (user + system) of each build and B's time as a multiple of
# A's.
#
#   bench/ab.sh OLD_PRESSEL NEW_PRESSEL FILE.afp [COMMAND...]
#   REPS=9 bench/ab.sh /tmp/old build/release/pressel /tmp/letters.afp cat text
#
# COMMAND is one of: cat chunks dump dump_json dump_view text rename strip
# check info split (default: all). Output files go to a temporary folder
# and are removed after each run; standard output goes to /dev/null.
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# < 3)); then
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
A=$1 B=$2 IN=$3
shift 3
COMMANDS=${*:-"cat chunks dump dump_json dump_view text rename strip check info split"}
REPS=${REPS:-7}
BUILD_DIR=${BUILD_DIR:-build/release}
RUN=$BUILD_DIR/pressel_bench_run
[[ -x $RUN ]] || cmake --build "$BUILD_DIR" -j2 --target pressel_bench_run >/dev/null
WORK=$(mktemp -d "${TMPDIR:-/tmp}/pressel_ab.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

args() {
  local p=$1 cmd=$2
  case $cmd in
    cat) echo "$p cat -q $IN /dev/null" ;;
    chunks) echo "$p chunks -q $IN" ;;
    dump) echo "$p dump $IN" ;;
    dump_json) echo "$p dump --json $IN" ;;
    dump_view) echo "$p dump --view $IN" ;;
    text) echo "$p text $IN" ;;
    rename) echo "$p rename -q $IN $WORK/out/renamed.afp C0H20090=C0H20091" ;;
    strip) echo "$p strip -q $IN $WORK/out/stripped.afp PTX_NOP" ;;
    check) echo "$p check -q $IN" ;;
    info) echo "$p info $IN" ;;
    split) echo "$p split -q $IN -o $WORK/out/g%06d.afp" ;;
    *) echo "unknown command '$cmd'" >&2; exit 2 ;;
  esac
}

# cpu CMD...: the CPU seconds of one run (a failure is reported and stops).
cpu() {
  rm -rf "$WORK/out" && mkdir "$WORK/out"
  local wall user sys rss status
  read -r wall user sys rss status < <("$RUN" /dev/null "$WORK/stderr" "$@")
  if ((status != 0)); then
    echo "failed ($status): $*" >&2
    cat "$WORK/stderr" >&2
    exit 1
  fi
  echo "$user + $sys" | bc -l
}

echo "== $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $(stat -c %s "$IN") bytes; best of $REPS, taking turns"
printf '%-10s %9s %9s %8s\n' command 'A CPU s' 'B CPU s' 'B / A'
for cmd in $COMMANDS; do
  a= b=
  for ((r = 0; r < REPS; r++)); do
    # shellcheck disable=SC2046 # the command's words are meant to split
    t=$(cpu $(args "$A" "$cmd"))
    [[ -z $a ]] || (($(echo "$t < $a" | bc -l))) && a=$t
    # shellcheck disable=SC2046
    t=$(cpu $(args "$B" "$cmd"))
    [[ -z $b ]] || (($(echo "$t < $b" | bc -l))) && b=$t
  done
  printf '%-10s %9.3f %9.3f %8.2f\n' "$cmd" "$a" "$b" "$(echo "$b / $a" | bc -l)"
done
