#!/usr/bin/env bash
# Builds if needed and starts Vellumark on this display, in a Wine prefix of
# its own (build/run-prefix-ARCH) with a PostScript printer installed: the
# 32-bit program where this kernel runs 32-bit programs, else the 64-bit one. Without a
# display it runs a short demonstration on a virtual X server instead: it
# draws a sample metafile, converts it through the program's own Open
# command, and says where the EPS file, a PNG rendering of it and a
# screenshot of the window are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"

# shellcheck source=scripts/wine.sh
. "$root/scripts/wine.sh"
if why=$(can_run_32bit); then
  arch=win32
else
  arch=win64
  echo "Running the 64-bit program: $why."
fi
windows=$root/build/$arch
exe=$windows/app/Vellumark.exe
printers=$windows/tests/printer/vellumark_printers.exe
drive=$windows/app/tests/vellumark_drive.exe
prefix=$root/build/run-prefix-$arch
printer="Vellumark PostScript Printer"
wine_run() {
  "$root/scripts/wine-run" "$arch" "$prefix" "$@"
}

wine_run "$printers" add "$printer" eps

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  wine_run "$exe"
  exit
fi

# No display: the demonstration, on a virtual desktop so the caption shows.
# shellcheck source=scripts/display.sh
. "$root/scripts/display.sh"
start_xvfb
stop() {
  stop_wine "$arch" "$prefix"
  stop_xvfb
}
trap stop EXIT

demo=$root/build/demo
desktop=Vellumark
mkdir -p "$demo"
rm -f "$demo/sample.emf" "$demo/sample.eps" "$demo/sample.png" "$demo/window.png"
wine_run "$drive" draw "$(windows_path "$demo/sample.emf")"
start_wine_desktop "$arch" "$prefix" "$desktop" 800x600 "$exe"
wine_run "$drive" open "$(windows_path "$demo/sample.emf")" "$desktop"
import -window "$(find_wine_desktop "$desktop")" "$demo/window.png"
wine_run "$drive" close "$desktop"
close_wine_desktop "$desktop"
# The A4 page at 96 dpi, cut down to the file's bounding box.
read -r llx lly urx ury < <(grep -a -m1 '^%%BoundingBox:' "$demo/sample.eps" | tr -d '\r' | cut -d' ' -f2-)
page_height=842
px() { echo $(($1 * 96 / 72)); }
gs -q -dSAFER -dBATCH -dNOPAUSE -r96 -sPAPERSIZE=a4 -sDEVICE=png16m \
  -sOutputFile="$demo/page.png" "$demo/sample.eps"
convert "$demo/page.png" -crop "$(px $((urx - llx)))x$(px $((ury - lly)))+$(px "$llx")+$(px $((page_height - ury)))" \
  +repage "$demo/sample.png"
rm -f "$demo/page.png"

echo "Converted $demo/sample.emf through Vellumark's Open command with \"$printer\":"
echo "  EPS file:         $demo/sample.eps"
echo "  its rendering:    $demo/sample.png"
echo "  the window:       $demo/window.png"
