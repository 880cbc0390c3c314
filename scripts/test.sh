#!/usr/bin/env bash
# Builds everything and runs every test: the native core tests (ASan + UBSan), the peer checks,
# the optimised build (built only), short fuzzing runs, and the Windows tests under Wine with
# private prefixes and displays.
#
# Three lines of work share the machine. In front: the Windows build, then the Windows tests, two
# at a time, each in a Wine lane of its own (tools/wine-run). Behind them, at the lowest priority
# so that they take only what the front leaves and the Wine tests keep their timing: the native
# build, its tests and the optimised build; and the fuzz build and the fuzzing. Each stage
# prints one line with its time and the load average when it ends; a failed stage prints its
# output after its line. Every stage's output stays in build/test-logs/STAGE.log.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

# The compiler cache keys objects by paths relative to this tree, so a fresh clone in another
# folder reuses what an earlier run of any clone compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

jobs=$(nproc)
logs=build/test-logs
mkdir -p "$logs"
rm -f "$logs"/*.log
begin=$SECONDS

# stage NAME COMMAND...: runs COMMAND with its output in the stage's log.
stage() {
  local name=$1 start=$SECONDS
  shift
  if "$@" >"$logs/$name.log" 2>&1; then
    printf '== %-20s ok %5ds  at %4ds, load %s  %s\n' "$name" $((SECONDS - start)) \
      $((SECONDS - begin)) "$(cut -d' ' -f1 /proc/loadavg)" "$(summary "$name")"
  else
    printf '== %-20s FAILED after %ds; its output (%s):\n' "$name" $((SECONDS - start)) \
      "$logs/$name.log"
    cat "$logs/$name.log"
    return 1
  fi
}

# What a stage's log says in one line: the test count, or the runs of each fuzz target.
summary() {
  grep -h -m1 -o '[0-9]*% tests passed.*' "$logs/$1.log" ||
    grep -h -o '^fuzz [a-z0-9_]*: [0-9]* runs' "$logs/$1.log" | sed 's/^fuzz //' | paste -sd, ||
    true
}

# The native line: the ASan build and its tests, then the optimised build.
native_line() {
  stage native-build sh -c 'cmake --preset native && cmake --build --preset native -j "$1"' \
    - "$jobs" || return 1
  stage native-tests ctest --preset native -j "$jobs" || return 1
  # The optimised build of the benchmarks and the converter (built, not run): GCC's -O3
  # warnings differ from the debug build's, and the README's benchmark command must keep
  # building.
  stage native-release sh -c \
    'cmake --preset native-release && cmake --build --preset native-release -j "$1"' - "$jobs"
}

# The fuzz line, beside the native one so that the fuzzing minutes overlap the Wine tests.
fuzz_line() {
  [[ -f fuzz/CMakeLists.txt ]] || return 0
  # The whole fuzz preset builds: it is also the clang build of the core and the tools.
  stage fuzz-build sh -c 'cmake --preset fuzz && cmake --build --preset fuzz -j "$1"' \
    - "$jobs" || return 1
  stage fuzzing scripts/fuzz.sh "${KX_FUZZ_SECONDS:-60}"
}

behind=()
for line in native_line fuzz_line; do
  nice -n 19 bash -c "$(declare -f stage summary $line); jobs=$jobs logs=$logs begin=$begin $line" &
  behind+=($!)
done

prefix=build/windows/wineprefix
lanes=$(grep -o '"id": *"[0-9]*"' tests/wine-lanes.json | grep -o '[0-9]*' | tr '\n' ' ')
trap 'tools/wine-run --prefix "$prefix" --stop' EXIT
windows_line() {
  stage windows-configure cmake --preset windows || return 1
  # The Wine lanes start while the program builds; a new prefix takes a while to make.
  local lane starting=()
  for lane in $lanes; do
    CTEST_RESOURCE_GROUP_0_WINE=id:$lane,slots:1 tools/wine-run --prefix "$prefix" --start \
      >"$logs/wine-lane$lane.log" 2>&1 &
    starting+=($!)
  done
  local built=0
  stage windows-build cmake --build --preset windows -j "$jobs" || built=1
  for lane in "${starting[@]}"; do
    wait "$lane" || { echo "== a Wine lane did not start:"; cat "$logs"/wine-lane*.log; return 1; }
  done
  ((built == 0)) || return 1
  stage windows-tests ctest --preset windows
}

status=0
windows_line || status=1
for line in "${behind[@]}"; do
  wait "$line" || status=1
done
printf '== %s after %ds\n' "$( ((status == 0)) && echo 'all passed' || echo FAILED)" \
  $((SECONDS - begin))
exit $status
