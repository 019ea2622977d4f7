#!/usr/bin/env bash
# Runs every fuzz target with libFuzzer for a share of SECONDS (default 90),
# seeded from tests/data and the regression inputs. Exit 1 on a crash, a
# sanitizer report or a broken invariant; the input that did it is minimised
# into fuzz/regressions/<target>/ so that the test suite replays it from then on.
#
# Needs clang++ and the Clang runtime libraries (Debian: clang, libclang-rt-14-dev),
# and cairo for the objects target (graphics and bar codes); installs nothing.
set -uo pipefail
cd "$(dirname "$0")/.."

total=${1:-90}
targets=(stream reader nested records roundtrip filters pages image objects)
per=$(( total / ${#targets[@]} ))
(( per < 1 )) && per=1
build=build/fuzz
jobs=$(nproc 2>/dev/null || echo 2)

command -v clang++ >/dev/null || { echo "fuzz/run.sh: clang++ is not installed" >&2; exit 2; }

CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRESSEL_BUILD_TESTS=OFF \
  -DPRESSEL_BUILD_BENCH=OFF -DPRESSEL_WERROR=ON -DPRESSEL_BUILD_FUZZ=ON -DPRESSEL_FUZZ_LIBFUZZER=ON >/dev/null || exit 2
# The image target is there when libtiff, libjpeg, libpng and giflib are.
# The image and objects targets exist only when their libraries were found.
help=$(cmake --build "$build" --target help)
kept=()
for t in "${targets[@]}"; do
  case $t in image|objects) grep -q "fuzz_$t\b" <<<"$help" || continue ;; esac
  kept+=("$t")
done
targets=("${kept[@]}")
cmake --build "$build" -j"$jobs" --target fuzz_seed $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null || {
  cmake --build "$build" -j1 2>&1 | tail -30; exit 2; }

seeds=$build/seeds
rm -rf "$seeds"
"$build/fuzz/fuzz_seed" "$seeds" tests/data/*.afp tests/data/corpus/*.afp || exit 2
# The image target: its own seeds (IOCA segments and container files, each
# after the byte that picks the decoder).
mkdir -p "$seeds/image"
cp fuzz/seeds/image/* "$seeds/image/" 2>/dev/null || true

status=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  regress=fuzz/regressions/$t
  mkdir -p "$corpus" "$regress" "$seeds/$t"
  art=$build/artifacts/$t/
  rm -rf "$art"; mkdir -p "$art"
  echo "=== fuzz_$t: ${per}s"
  "$build/fuzz/fuzz_$t" -max_total_time="$per" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$art" -print_final_stats=1 "$corpus" "$seeds/$t" "$regress" \
      >"$build/fuzz_$t.log" 2>&1
  rc=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$build/fuzz_$t.log"
  if (( rc != 0 )); then
    status=1
    echo "*** fuzz_$t failed (exit $rc):"
    grep -E -m1 -A25 'ERROR: |runtime error|fuzz target|deadly signal|timeout' "$build/fuzz_$t.log"
    for crash in "$art"*; do
      [[ -f $crash ]] || continue
      name=$(basename "$crash")
      "$build/fuzz/fuzz_$t" -minimize_crash=1 -max_total_time=30 -exact_artifact_path="$regress/$name" \
          "$crash" >/dev/null 2>&1 || true
      [[ -f $regress/$name ]] || cp "$crash" "$regress/$name"
      echo "    kept as $regress/$name"
    done
  fi
done
exit $status
