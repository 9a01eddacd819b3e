#!/usr/bin/env bash
# Builds the native skin tools into BUILD_DIR (incremental):
#   native.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
# The cross build's environment may point CC, CXX and their flags at the
# Windows toolchain; these tools run here.
unset CC CXX CFLAGS CXXFLAGS LDFLAGS
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/tools/skin" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" >/dev/null
