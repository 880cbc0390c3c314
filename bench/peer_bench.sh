# What the benchmarks against other encoders share (sourced): the build's converter and movie
# generator, a scratch folder, the best time of a command, and the walk over the test movies.
#
#   source bench/peer_bench.sh "${1:-}"   sets build, cli, gen and work
build=${1:-build/native-release}
cli=$build/tools/kinetrix-cli/kinetrix-cli
gen=$build/tools/moviegen/moviegen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best of best_of (default 5) wall-clock times of a command, in nanoseconds.
best_time() {
  local best=0
  for ((run = 0; run < ${best_of:-5}; ++run)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    if ((best == 0 || end - start < best)); then best=$((end - start)); fi
  done
  echo "$best"
}

# Calls COMPARE KIND MODE SIZE for each kind of test movie (tools/moviegen, drawn to
# $work/KIND.bmp) at two sizes, opaque and transparent, with the converter's options for it in
# the array options.
for_each_movie() {
  local compare=$1 size width height frames kind mode
  for size in "160 120 24" "320 240 48"; do
    read -r width height frames <<<"$size"
    for kind in sprite scene plasma; do
      "$gen" "$kind" "$work/$kind.bmp" "$width" "$height" "$frames" >/dev/null
      for mode in opaque transparent; do
        options=(--frame-height "$height" --speed 80 --quiet)
        [[ $mode == transparent ]] && options+=(--transparent)
        "$compare" "$kind" "$mode" "${width}x${height}x$frames"
      done
    done
  done
}
