#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test: the
# native ones directly, the Windows ones under Wine on an X display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

# shellcheck source=scripts/xvfb.sh
. "$root/scripts/xvfb.sh"
XVFB_PID=
start_xvfb
stop() {
  WINEPREFIX=$build/windows/wineprefix wineserver -k 2>/dev/null || true
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
}
trap stop EXIT

ctest --test-dir "$build" --output-on-failure "$@"
