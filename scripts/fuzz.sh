#!/usr/bin/env bash
# Fuzzes every file reader of the fuzz build (the targets fuzz/CMakeLists.txt declares with
# kx_fuzz_target), each for SECONDS seconds (default 60), KX_FUZZ_JOBS targets at a time (default:
# one per core). The targets of the codecs behind the readers (run-length, LZW, PNG chunks), which
# the readers' own targets reach too, run a third of that, after the readers. Fails when any target finds a crash, a leak, a hang or an oversized allocation;
# the input that caused it is kept in BUILD/fuzz-findings/.
#
#   scripts/fuzz.sh [SECONDS]        uses build/fuzz (cmake --preset fuzz), or KX_FUZZ_BUILD
#   KX_FUZZ_BUILD=build/x scripts/fuzz.sh 3600    a long run; the corpora grow in BUILD/corpus
#   KX_FUZZ_TARGETS="avi rle" scripts/fuzz.sh     only these targets
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
parts=" rle gif_lzw png_chunks "
part_seconds=$(( (seconds + 2) / 3 ))
build=${KX_FUZZ_BUILD:-build/fuzz}

if [[ ! -f $build/build.ninja ]]; then
  if [[ $build == build/fuzz ]]; then
    cmake --preset fuzz >/dev/null
  else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DKX_FUZZ=ON -DKX_SANITIZE=OFF >/dev/null
  fi
fi
if ! cmake --build "$build" -j "$(nproc)" --target kx_fuzz_all >"$build/fuzz-build.log" 2>&1; then
  cat "$build/fuzz-build.log" >&2
  exit 1
fi
# The build lists its targets (kx_fuzz_NAME); NAME is also the folder of their corpus.
read -r -a targets <<<"${KX_FUZZ_TARGETS:-$(sed -n 's/^kx_fuzz_//p' "$build/fuzz-targets.txt" | tr '\n' ' ')}"
if (( ${#targets[@]} == 0 )); then
  echo "fuzz: no targets listed in $build/fuzz-targets.txt" >&2
  exit 1
fi

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
  local target=$1 time=$seconds
  [[ $parts == *" $target "* ]] && time=$part_seconds
  local log=$findings/$target.log
  mkdir -p "$corpus/$target" "$findings/$target"
  # A single allocation above 600 MB is a finding: the core caps its buffers at 512 MB. An input
  # taking 30 s is one too: a picture as large as the budget allows (a GIF canvas of 90 million
  # pixels, say) takes a few seconds under the sanitizers, and more on a busy machine.
  if "$build/fuzz/kx_fuzz_$target" -max_total_time="$time" -timeout=30 -rss_limit_mb=4096 \
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

jobs=${KX_FUZZ_JOBS:-$(nproc)}
readers=() codecs=()
for target in "${targets[@]}"; do
  if [[ $parts == *" $target "* ]]; then codecs+=("$target"); else readers+=("$target"); fi
done
status=0
running=0
for target in "${readers[@]}" "${codecs[@]}"; do
  if (( running >= jobs )); then
    wait -n || status=1
    running=$((running - 1))
  fi
  run "$target" &
  running=$((running + 1))
done
while (( running > 0 )); do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
