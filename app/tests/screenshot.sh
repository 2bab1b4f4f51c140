#!/usr/bin/env bash
# Shows Vellumark on a Wine virtual desktop, which draws window captions that
# a bare X server without a window manager leaves out, and keeps a PNG
# screenshot of that desktop. Checks that the window stands at the desktop's
# top-left corner with its caption drawn and ends with exit code 0.
# Usage: screenshot.sh ARCH PREFIX VELLUMARK_EXE DRIVE_EXE PRINTERS_EXE PNG
set -euo pipefail
# shellcheck source=scripts/display.sh
. "$(dirname "$0")/../../scripts/display.sh"
arch=$1
prefix=$2
exe=$3
drive=$4
printers=$5
png=$6

desktop=VellumarkShot
desktop_size=800x600
wine_run() {
  "$DISPLAY_SCRIPTS/wine-run" "$arch" "$prefix" "$@"
}
fail() {
  echo "screenshot: $*" >&2
  exit 1
}
# The colour of one pixel of the screenshot, as ImageMagick names it.
pixel() {
  convert "$png" -format "%[pixel:p{$1,$2}]" info:
}

mkdir -p "$(dirname "$png")"
rm -f "$png"
wine_run "$printers" clear
wine_run "$printers" add "Generic PostScript Printer" eps

start_wine_desktop "$arch" "$prefix" "$desktop" "$desktop_size" "$exe"
wine_run "$drive" wait "$desktop" || fail "expected the window to come"
window=$(find_wine_desktop "$desktop") || fail "expected the desktop's X window"
import -window "$window" "$png"
exit_code=0
wine_run "$drive" close "$desktop" || exit_code=$?
close_wine_desktop "$desktop"
[ "$exit_code" -eq 0 ] || fail "expected exit code 0 on close, got $exit_code"

size=$(identify -format '%wx%h' "$png")
[ "$size" = "$desktop_size" ] || fail "expected a $desktop_size screenshot, got $size"
# The caption runs along the top of the 410 x 160 window; the client area
# below it shows the button face colour; the desktop lies beyond the window.
caption=$(pixel 200 8)
face=$(pixel 350 60)
outside=$(pixel 600 400)
[ "$caption" != "$face" ] || fail "expected a caption above the client area, both $face"
[ "$face" != "$outside" ] || fail "expected the window on the desktop, both $face"
echo "screenshot: $png (caption $caption, client $face, desktop $outside)"
