#!/usr/bin/env bash
# The native checks of the SVG renderer that the suite runs:
#   check.sh compare BUILD_DIR   fixed sample of the comparison with librsvg
#   check.sh mutate BUILD_DIR    bounded mutation run under ASan/UBSan
# Longer runs on demand: bench/svg/compare.py (every icon) and
# BUILD_DIR/svg_mutate ITERATIONS SEED tests/svg/cases/*.svg.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mode=$1
build=$2
# The suite's environment points CXX and friends at the Windows toolchain in
# places; the native build uses the host compiler explicitly.
unset CC CXX CFLAGS CXXFLAGS LDFLAGS
case $mode in
  compare) flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  mutate) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKW_SVG_SANITIZE=ON) ;;
  *) echo "usage: $0 compare|mutate BUILD_DIR" >&2; exit 2 ;;
esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/bench/svg" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=g++ "${flags[@]}" >/dev/null
fi
cmake --build "$build" >/dev/null
case $mode in
  compare)
    exec python3 "$root/bench/svg/compare.py" --tool "$build/svg_tool" --work "$build/compare" \
      --sample 60 --worst 5 ;;
  mutate)
    exec "$build/svg_mutate" 1500 20261209 "$root"/tests/svg/cases/*.svg ;;
esac
