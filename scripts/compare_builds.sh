#!/usr/bin/env bash
# Runs every command of two builds of the tool on the same inputs and reports
# each run whose standard output, standard error, exit status or written
# file differs.
#
#   scripts/compare_builds.sh OLD_PRESSEL NEW_PRESSEL [FILE...]
#
# Without FILEs: every sample of tests/data and tests/data/corpus, and the
# corpus of ../shared when it is there. Generated streams can be named as
# FILEs (pressel_gen_stream --groups 50 OUT 20 makes a 20 MB one). Prints
# "compare: R runs, D differ" last; exits 1 when some run differs.
set -uo pipefail

if (($# < 2)); then
  echo "usage: $0 OLD_PRESSEL NEW_PRESSEL [FILE...]" >&2
  exit 2
fi
OLD=$1 NEW=$2
shift 2
cd "$(dirname "$0")/.."
if (($#)); then
  files=("$@")
else
  files=(tests/data/*.afp tests/data/corpus/*.afp)
  for f in ../shared/corpus/*/*.afp; do [[ -e $f ]] && files+=("$f"); done
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

runs=0 differ=0
# compare NAME WRITES ARGS...: ARGS run with both builds; when WRITES is 1,
# the file $work/w.afp the command writes is compared too.
compare() {
  local name=$1 writes=$2 a b d=0
  shift 2
  "$OLD" "$@" >"$work/old.out" 2>"$work/old.err"; a=$?
  [[ $writes == 1 ]] && { mv -f "$work/w.afp" "$work/w.old" 2>/dev/null || : >"$work/w.old"; }
  "$NEW" "$@" >"$work/new.out" 2>"$work/new.err"; b=$?
  [[ $writes == 1 ]] && { [[ -e $work/w.afp ]] || : >"$work/w.afp"; cmp -s "$work/w.old" "$work/w.afp" || d=1; }
  cmp -s "$work/old.out" "$work/new.out" || d=1
  cmp -s "$work/old.err" "$work/new.err" || d=1
  [[ $a == "$b" ]] || d=1
  runs=$((runs + 1))
  if ((d)); then
    differ=$((differ + 1))
    echo "differs: $name (exit $a and $b)"
  fi
  rm -f "$work/w.afp" "$work/w.old"
}

for f in "${files[@]}"; do
  b=$(basename "$f")
  for args in "dump" "dump --show" "dump --json" "dump --view" "text" "text --json" "text --layout" \
              "text --codepage=500" "text --latin1" "check" "check --json" "info" "tle" "chunks"; do
    read -r -a words <<<"$args"
    compare "$b $args" 0 "${words[0]}" "$f" "${words[@]:1}"
  done
  compare "$b cat" 1 cat "$f" "$work/w.afp"
  compare "$b strip PTX_NOP" 1 strip "$f" "$work/w.afp" PTX_NOP -q
  compare "$b strip NOP TLE" 1 strip "$f" "$work/w.afp" NOP TLE -q
  compare "$b strip PTX_TRN" 1 strip "$f" "$work/w.afp" PTX_TRN -q
  compare "$b strip T_FQN" 1 strip "$f" "$work/w.afp" T_FQN -q
  compare "$b rename two" 1 rename "$f" "$work/w.afp" C0H20090=C0XXXXXX T1V10500=T1ZZZZZZ --allow-missing -q
  compare "$b rename one" 1 rename "$f" "$work/w.afp" C0H20090=C0XXXXXX --allow-missing -q
done
echo "compare: $runs runs, $differ differ"
((differ == 0))
