#!/usr/bin/env bash
# Builds everything and runs every test: the native core tests (ASan + UBSan), the peer checks,
# the optimised build (built only), short fuzzing runs, and the Windows tests under Wine with a
# private prefix and display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

jobs=$(nproc)
echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

# The optimised build of the benchmarks and the converter (built, not run): GCC's -O3 warnings
# differ from the debug build's, and the README's benchmark command must keep building.
echo "== native-release build"
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j "$jobs"

if [[ -f fuzz/CMakeLists.txt ]]; then
  echo "== fuzzing (short runs)"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  scripts/fuzz.sh "${KX_FUZZ_SECONDS:-60}"
fi

echo "== windows build and tests (under Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
prefix=build/windows/wineprefix
trap 'tools/wine-run --prefix "$prefix" --stop' EXIT
tools/wine-run --prefix "$prefix" --start >/dev/null
ctest --preset windows
