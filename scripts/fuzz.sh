#!/usr/bin/env bash
# Fuzzes the bitmap strip reader, the AVI reader, the run-length decoder, the GIF reader and its
# LZW decoder, the PNG reader and the PNG chunk reader, each for SECONDS seconds (default 60), two
# targets at a time. Fails when any target finds a crash, a leak, a hang or an oversized
# allocation; the input that caused it is kept in BUILD/fuzz-findings/.
#
#   scripts/fuzz.sh [SECONDS]        uses build/fuzz (cmake --preset fuzz), or KX_FUZZ_BUILD
#   KX_FUZZ_BUILD=build/x scripts/fuzz.sh 3600    a long run; the corpora grow in BUILD/corpus
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
build=${KX_FUZZ_BUILD:-build/fuzz}
targets=(avi bitmap_strip rle gif gif_lzw png png_chunks)

if [[ ! -f $build/build.ninja ]]; then
  if [[ $build == build/fuzz ]]; then
    cmake --preset fuzz >/dev/null
  else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DKX_FUZZ=ON -DKX_SANITIZE=OFF >/dev/null
  fi
fi
cmake --build "$build" -j "$(nproc)" --target kx_fuzz_seeds \
  "${targets[@]/#/kx_fuzz_}" >/dev/null

corpus=$build/corpus
findings=$build/fuzz-findings
mkdir -p "$corpus" "$findings"
"$build/fuzz/kx_fuzz_seeds" "$corpus"
# Sample strips shipped with the program, and the bitmap test corpus when it is beside the tree.
cp samples/*.bmp "$corpus/bitmap_strip/" 2>/dev/null || true
for folder in ../shared/corpus/bmpsuite/{g,q,b}; do
  [[ -d $folder ]] && cp "$folder"/*.bmp "$corpus/bitmap_strip/" 2>/dev/null || true
done

run() {
  local target=$1
  local log=$findings/$target.log
  mkdir -p "$corpus/$target" "$findings/$target"
  # A single allocation above 600 MB is a finding: the core caps its buffers at 512 MB.
  if "$build/fuzz/kx_fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
       -malloc_limit_mb=600 -print_final_stats=1 -artifact_prefix="$findings/$target/" \
       "$corpus/$target" >"$log" 2>&1; then
    echo "fuzz $target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" |
      grep -o '[0-9]*$') runs, no finding"
  else
    echo "fuzz $target: FINDING (log $log)" >&2
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" >&2 || tail -20 "$log" >&2
    return 1
  fi
}

jobs=$(nproc)
(( jobs > 2 )) && jobs=2
status=0
pids=()
for target in "${targets[@]}"; do
  run "$target" &
  pids+=($!)
  if (( ${#pids[@]} >= jobs )); then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done
exit $status
