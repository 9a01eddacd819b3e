#!/usr/bin/env bash
# Builds the framework's platform-free code natively and runs one of its
# test programs (the arithmetic by default):
#   check.sh BUILD_DIR [PROGRAM]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$1
# The suite's environment may point the compilers at the Windows toolchain.
unset CC CXX CFLAGS CXXFLAGS LDFLAGS
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/tests/ui/native" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" >/dev/null
exec "$build/${2:-ui_arithmetic_native}"
