#!/usr/bin/env bash
# Configures and builds the three builds: native (the core and its tests)
# under build/native, and everything for 32-bit and 64-bit Windows under
# build/win32 and build/win64.
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

configure_and_build native
configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
