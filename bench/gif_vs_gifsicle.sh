#!/usr/bin/env bash
# Our animated GIFs against gifsicle -O3 made from the same frames: size and time, both measured
# in this run. For each kind of test movie (tools/moviegen) and with and without transparency:
# the bytes of our GIF, of gifsicle -O3's GIF of the same frames (given to it drawn whole), their
# ratio, and the ratio of the best of 5 times of our whole convert (reading the strip included)
# to the best of 5 of gifsicle -O3 (reading its input included).
#
#   bench/gif_vs_gifsicle.sh [BUILD]   (default build/native-release)
set -euo pipefail
build=${1:-build/native-release}
cli=$build/tools/kinetrix-cli/kinetrix-cli
gen=$build/tools/moviegen/moviegen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best of 5 wall-clock times of a command, in nanoseconds.
best_time() {
  local best=0
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    if ((best == 0 || end - start < best)); then best=$((end - start)); fi
  done
  echo "$best"
}

printf '%-8s %-11s %-14s %9s %9s %7s %7s\n' kind mode size ours gifsicle x_size x_time
for size in "160 120 24" "320 240 48"; do
  read -r width height frames <<<"$size"
  for kind in sprite scene plasma; do
    "$gen" "$kind" "$work/$kind.bmp" "$width" "$height" "$frames" >/dev/null
    for mode in opaque transparent; do
      options=(--frame-height "$height" --speed 80 --quiet)
      [[ $mode == transparent ]] && options+=(--transparent)
      "$cli" convert "$work/$kind.bmp" "$work/ours.gif" "${options[@]}"
      gifsicle --unoptimize "$work/ours.gif" -o "$work/whole.gif"
      gifsicle -O3 "$work/whole.gif" -o "$work/theirs.gif"
      gifdiff "$work/ours.gif" "$work/theirs.gif" >/dev/null || echo "gifdiff: $kind $mode differ"
      ours_time=$(best_time "$cli" convert "$work/$kind.bmp" "$work/ours.gif" "${options[@]}")
      theirs_time=$(best_time gifsicle -O3 "$work/whole.gif" -o "$work/theirs.gif")
      ours=$(stat -c %s "$work/ours.gif")
      theirs=$(stat -c %s "$work/theirs.gif")
      printf '%-8s %-11s %-14s %9d %9d %7.3f %7.2f\n' "$kind" "$mode" "${width}x${height}x$frames" \
        "$ours" "$theirs" "$(bc -l <<<"$ours / $theirs")" "$(bc -l <<<"$ours_time / $theirs_time")"
    done
  done
done
