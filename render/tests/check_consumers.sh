#!/bin/sh
# Reads the EPS files the conversion tests left in FOLDER with the tools that
# EPS users run, natively:
#   check_consumers.sh ghostscript_bbox FOLDER
#     Ghostscript's bbox device finds a drawn extent inside the declared box
#     that reaches each of its sides within the 5-point margin and a point of
#     rounding: the picture fills its placement, and the page's printable
#     width or height limits it (the file's name says which). The box maps
#     the device's page onto a 597.5 x 845.0-point page, while the driver
#     draws A4 at 595 x 842 points, so the top and right sides may lie up to
#     3 points further out.
#   check_consumers.sh ghostscript_inside FOLDER
#     Ghostscript's bbox device finds nothing drawn outside the declared
#     box, to the hundredth of a point (a picture that draws nothing passes).
#   check_consumers.sh epstopdf FOLDER
#     epstopdf makes a PDF whose page is exactly the box's size, and
#     pdftoppm renders it to something that is not blank.
set -eu
check=$1
folder=$2
reach=6      # the margin plus a point of rounding: left and bottom
reach_far=9  # and the larger page the box assumes: top and right
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL $(basename "$eps"): $*" >&2
  failures=$((failures + 1))
}

within() {  # within DISTANCE LIMIT: 0 <= DISTANCE <= LIMIT
  [ "$1" -ge 0 ] && [ "$1" -le "$2" ]
}

check_ghostscript_bbox() {
  drawn=$(gs -q -dNOPAUSE -dBATCH -dSAFER -sPAPERSIZE=a4 -sDEVICE=bbox "$eps" 2>&1 |
    grep '^%%BoundingBox:' | cut -d' ' -f2-)
  [ -n "$drawn" ] || { fail "Ghostscript reported no drawn extent"; return; }
  set -- $drawn
  echo "$(basename "$eps"): declared $llx $lly $urx $ury, drawn $*"
  within $(($1 - llx)) "$reach" || fail "left side: drawn $1, declared $llx"
  within $(($2 - lly)) "$reach" || fail "bottom side: drawn $2, declared $lly"
  within $((urx - $3)) "$reach_far" || fail "right side: drawn $3, declared $urx"
  within $((ury - $4)) "$reach_far" || fail "top side: drawn $4, declared $ury"
}

check_ghostscript_inside() {
  drawn=$(gs -q -dNOPAUSE -dBATCH -dSAFER -sPAPERSIZE=a4 -sDEVICE=bbox "$eps" 2>&1 |
    grep '^%%HiResBoundingBox:' | cut -d' ' -f2-)
  [ -n "$drawn" ] || { fail "Ghostscript reported no drawn extent"; return; }
  echo "$(basename "$eps"): declared $llx $lly $urx $ury, drawn $drawn"
  outside=$(echo "$drawn" | awk -v l="$llx" -v b="$lly" -v r="$urx" -v t="$ury" '
    $1 == 0 && $2 == 0 && $3 == 0 && $4 == 0 { exit }
    $1 < l { print "left " $1 } $2 < b { print "bottom " $2 }
    $3 > r { print "right " $3 } $4 > t { print "top " $4 }')
  [ -z "$outside" ] || fail "drawn outside the box: $(echo $outside)"
}

check_epstopdf() {
  pdf=$work/$(basename "$eps" .eps).pdf
  epstopdf --outfile="$pdf" "$eps" >/dev/null 2>&1 || { fail "epstopdf failed"; return; }
  size=$(pdfinfo "$pdf" | sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1 \2/p')
  expected="$((urx - llx)) $((ury - lly))"
  echo "$(basename "$eps"): box $expected, PDF page $size"
  [ "$size" = "$expected" ] || fail "PDF page $size, expected $expected"
  pdftoppm -r 20 -gray -singlefile "$pdf" "$work/page"
  darkest=$(convert "$work/page.pgm" -format '%[fx:int(255*minima)]' info:)
  [ "$darkest" -lt 200 ] || fail "the rendered page is blank (darkest grey $darkest)"
}

found=0
for eps in "$folder"/*.eps; do
  [ -f "$eps" ] || continue
  found=$((found + 1))
  box=$(grep -a -m1 '^%%BoundingBox:' "$eps" | tr -d '\r' | cut -d' ' -f2-)
  set -- $box
  llx=$1 lly=$2 urx=$3 ury=$4
  "check_$check"
done
[ "$found" -gt 0 ] || { echo "FAIL: no EPS files in $folder" >&2; exit 1; }
[ "$failures" -eq 0 ]
