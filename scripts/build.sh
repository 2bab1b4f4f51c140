#!/usr/bin/env bash
# Configures and builds both builds: native (core and its tests) under
# build/native, 32-bit Windows (everything) under build/windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
jobs=$(nproc)

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/native" -j "$jobs"
cmake -S "$root" -B "$build/windows" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/windows" -j "$jobs"

# One CTest tree over both builds, so that one run counts every test.
printf 'subdirs("native" "windows")\n' >"$build/CTestTestfile.cmake"
