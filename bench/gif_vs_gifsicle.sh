#!/usr/bin/env bash
# Our animated GIFs against gifsicle -O3 made from the same frames: size and time, both measured
# in this run. For each kind of test movie (tools/moviegen) and with and without transparency:
# the bytes of our GIF, of gifsicle -O3's GIF of the same frames (given to it drawn whole), their
# ratio, and the ratio of the best of 5 times of our whole convert (reading the strip included)
# to the best of 5 of gifsicle -O3 (reading its input included).
#
#   bench/gif_vs_gifsicle.sh [BUILD]   (default build/native-release)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/peer_bench.sh" "${1:-}"

# One movie: ours, gifsicle -O3's from the same frames drawn whole, and the row.
compare() {
  local kind=$1 mode=$2 size=$3
  "$cli" convert "$work/$kind.bmp" "$work/ours.gif" "${options[@]}"
  gifsicle --unoptimize "$work/ours.gif" -o "$work/whole.gif"
  gifsicle -O3 "$work/whole.gif" -o "$work/theirs.gif"
  gifdiff "$work/ours.gif" "$work/theirs.gif" >/dev/null || echo "gifdiff: $kind $mode differ"
  local ours_time theirs_time ours theirs
  ours_time=$(best_time "$cli" convert "$work/$kind.bmp" "$work/ours.gif" "${options[@]}")
  theirs_time=$(best_time gifsicle -O3 "$work/whole.gif" -o "$work/theirs.gif")
  ours=$(stat -c %s "$work/ours.gif")
  theirs=$(stat -c %s "$work/theirs.gif")
  printf '%-8s %-11s %-14s %9d %9d %7.3f %7.2f\n' "$kind" "$mode" "$size" "$ours" "$theirs" \
    "$(bc -l <<<"$ours / $theirs")" "$(bc -l <<<"$ours_time / $theirs_time")"
}

printf '%-8s %-11s %-14s %9s %9s %7s %7s\n' kind mode size ours gifsicle x_size x_time
for_each_movie compare
