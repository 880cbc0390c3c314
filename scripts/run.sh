#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine on the bundled sample strip.
# With a desktop ($DISPLAY set) the window opens there; without one it runs on a private Xvfb
# display and a screenshot is written to build/run.png.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
prefix=build/windows/wineprefix
exe=build/windows/src/app/kinetrix.exe
sample=samples/walker.bmp
args=()
[[ -f $sample ]] && args=("$sample")
if [[ -n ${DISPLAY:-} ]]; then
  KX_USE_DISPLAY=1 tools/wine-run --prefix "$prefix" "$exe" "${args[@]}"
else
  trap 'tools/wine-run --prefix "$prefix" --stop' EXIT
  display=$(tools/wine-run --prefix "$prefix" --start)
  tools/wine-run --prefix "$prefix" "$exe" "${args[@]}" &
  sleep "${KX_RUN_SECONDS:-4}"
  DISPLAY=$display import -window root build/run.png
  echo "No desktop here: the program ran on a private display; its screen is in build/run.png"
fi
