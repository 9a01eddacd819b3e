#!/usr/bin/env bash
# The shadow's pixel arithmetic built natively with the host compiler and run
# under ASan/UBSan: native_bitmap_test.sh BUILD_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$1
mkdir -p "$build"
# The suite's environment may point CXX at the Windows toolchain.
unset CXX CXXFLAGS LDFLAGS
g++ -std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -Wall -Wextra \
  -I"$root/src" "$root/tests/ui/shadow/shadow_bitmap_test.cpp" "$root/src/ui/shadow_bitmap.cpp" \
  -lgtest -lgtest_main -pthread -o "$build/shadow_bitmap_test"
exec "$build/shadow_bitmap_test"
