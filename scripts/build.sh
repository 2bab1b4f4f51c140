#!/usr/bin/env bash
# Configures and builds the three builds: native (the core and its tests,
# with clang) under build/native, and everything for 32-bit and 64-bit
# Windows (with mingw-w64's g++) under build/win32 and build/win64. The core
# is in both, so each run holds it to both compilers' warnings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
jobs=$(nproc)

configure_and_build() {
  local folder=$1
  shift
  cmake -S "$root" -B "$build/$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$build/$folder" -j "$jobs"
}

configure_and_build native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
