#!/usr/bin/env bash
# Builds if needed and starts Vellumark on this display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exe=$root/build/windows/app/Vellumark.exe
if [ ! -f "$exe" ]; then
  echo "Vellumark.exe is not built yet: the application window does not exist yet." >&2
  exit 1
fi
exec "$root/scripts/wine-run" "$root/build/wineprefix" "$exe"
