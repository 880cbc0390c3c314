#!/usr/bin/env bash
# Our animated PNGs against apngasm -z0 (zlib at its strongest) made from the same frames: size,
# and time as a ratio, both measured in this run. For each kind of test movie (tools/moviegen),
# with and without transparency: the bytes of our APNG, of apngasm's APNG of the same frames
# (given to it as whole PNG pictures, as ffmpeg decodes ours, so both hold the same pixels), their
# ratio, whether ffmpeg decodes both to the same pixels, and the ratio of the best of 3 times of
# our whole convert (reading the strip included) to the best of 3 of apngasm (reading its frames
# included).
#
#   bench/apng_vs_apngasm.sh [BUILD]   (default build/native-release)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/peer_bench.sh" "${1:-}"
best_of=3

# Every frame once as RGBA, with the colour of fully transparent pixels cleared.
pixels() {
  ffmpeg -v error -i "$1" -fps_mode passthrough -f rawvideo -pix_fmt rgba - |
    python3 -c 'import sys
d = bytearray(sys.stdin.buffer.read())
for i in range(3, len(d), 4):
    if d[i] == 0:
        d[i - 3:i] = b"\0\0\0"
sys.stdout.buffer.write(d)' | md5sum
}

# One movie: ours, apngasm's from the frames ffmpeg decodes from ours, and the row.
compare() {
  local kind=$1 mode=$2 size=$3
  "$cli" convert "$work/$kind.bmp" "$work/ours.png" "${options[@]}"
  rm -f "$work"/f*.png
  ffmpeg -v error -i "$work/ours.png" -fps_mode passthrough "$work/f%04d.png"
  local theirs_time ours_time same=no ours theirs
  theirs_time=$(best_time apngasm "$work/theirs.png" "$work"/f*.png 8 100 -z0)
  ours_time=$(best_time "$cli" convert "$work/$kind.bmp" "$work/ours.png" "${options[@]}")
  [[ $(pixels "$work/ours.png") == $(pixels "$work/theirs.png") ]] && same=yes
  ours=$(stat -c %s "$work/ours.png")
  theirs=$(stat -c %s "$work/theirs.png")
  printf '%-8s %-11s %-14s %9d %9d %7.3f %5s %7.2f\n' "$kind" "$mode" "$size" "$ours" \
    "$theirs" "$(bc -l <<<"$ours / $theirs")" "$same" "$(bc -l <<<"$ours_time / $theirs_time")"
}

printf '%-8s %-11s %-14s %9s %9s %7s %5s %7s\n' kind mode size ours apngasm x_size same x_time
for_each_movie compare
