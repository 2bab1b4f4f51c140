#!/usr/bin/env bash
# Makes the release archives Vellumark-VERSION-win32.zip and
# Vellumark-VERSION-win64.zip (VERSION from project()) and puts them under
# build/release: installs what is missing and builds as the test command
# does, then collects the archive that each Windows build packs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
release=$build/release

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

mkdir -p "$release"
for arch in win32 win64; do
  archive=$(cat "$build/$arch/release/archive-path.txt")
  cp "$archive" "$release/"
  echo "$release/$(basename "$archive") ($(stat -c %s "$archive") bytes)"
done
