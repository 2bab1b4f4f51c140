#!/bin/sh
# Reads the EPS files the conversion tests left in FOLDER with the tools that
# EPS users run, natively. A tool that is missing fails the check.
#   check_consumers.sh ghostscript_bbox FOLDER
#     For the synthetic pictures (*-limited-*.eps): Ghostscript's bbox device
#     finds a drawn extent inside the declared box that reaches each of its
#     sides within the 5-point margin and a point of rounding: the picture
#     fills its placement, and the page's printable width or height limits
#     it (the file's name says which). The box maps the device's page onto a
#     597.5 x 845.0-point page, while the driver draws A4 at 595 x 842
#     points, so the top and right sides may lie up to 3 points further out.
#   check_consumers.sh ghostscript_inside FOLDER
#     Ghostscript's bbox device finds nothing drawn outside the declared
#     box, to the hundredth of a point (a picture that draws nothing passes).
#   check_consumers.sh ghostscript_drawn FOLDER
#     Ghostscript renders each EPS without an error, its bbox device finds
#     something drawn, all inside the declared box, and the page is not
#     blank.
#   check_consumers.sh epstopdf FOLDER
#     epstopdf (pdfLaTeX's route) makes a PDF page exactly the box's size.
#   check_consumers.sh epscrop FOLDER
#     Ghostscript with -dEPSCrop, as Inkscape's import and ps2pdf-based
#     tools run it, writes a PDF page exactly the box's size.
#   check_consumers.sh libreoffice FOLDER
#     LibreOffice Draw, headless, imports each EPS and exports it to PDF as
#     a picture with the box's proportions, no larger than the box.
#   check_consumers.sh dvips FOLDER
#     latex includes the EPS with graphicx and dvips -E makes an EPS of the
#     page whose box has the included box's size, to a point a side.
#   check_consumers.sh dvips_clip FOLDER
#     latex includes the EPS with \includegraphics[clip] and a viewport of
#     the box's lower-left quarter, and Ghostscript's bbox device finds the
#     page dvips makes drawn on, no larger than the quarter, to a point:
#     nothing the file draws escapes the importer's clip.
#   check_consumers.sh stdout FOLDER
#     Ghostscript writing a raster page to its standard output writes the
#     image alone: the file prints nothing there.
#   check_consumers.sh guard FOLDER
#     Ghostscript runs each EPS between save and restore, as importers do;
#     afterwards initclip, initgraphics, initmatrix, erasepage, copypage and
#     setpagedevice are the system's own again, and initclip resets a clip.
# Each page made must also render to something that is not blank.
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

need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
  done
}

within() {  # within DISTANCE LIMIT: 0 <= DISTANCE <= LIMIT
  [ "$1" -ge 0 ] && [ "$1" -le "$2" ]
}

# sizes_match "W H" "W H" TOLERANCE: each side within TOLERANCE points.
sizes_match() {
  echo "$1 $2" | awk -v t="$3" '{ d1 = $1 - $3; d2 = $2 - $4
    exit !(d1 <= t && -d1 <= t && d2 <= t && -d2 <= t) }'
}

# rendered_dark FILE: FILE (PDF or EPS) renders to a page with dark pixels.
rendered_dark() {
  case $1 in
    *.pdf) pdftoppm -r 20 -gray -singlefile "$1" "$work/page" ;;
    *) gs -q -dNOPAUSE -dBATCH -dSAFER -dEPSCrop -r20 -sDEVICE=pgmraw \
         -sOutputFile="$work/page.pgm" "$1" ;;
  esac
  darkest=$(convert "$work/page.pgm" -format '%[fx:int(255*minima)]' info:)
  rm -f "$work/page.pgm"
  [ "$darkest" -lt 200 ]
}

# check_page PDF TOLERANCE: the PDF's page has the box's size and is drawn on.
check_page() {
  size=$(pdfinfo "$1" 2>/dev/null |
    sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1 \2/p')
  expected="$((urx - llx)) $((ury - lly))"
  echo "$(basename "$eps"): box $expected, $check page $size"
  [ -n "$size" ] || { fail "no page"; return; }
  sizes_match "$size" "$expected" "$2" || fail "page $size, expected $expected"
  rendered_dark "$1" || fail "the rendered page is blank"
}

check_ghostscript_bbox() {
  case $(basename "$eps") in *-limited-*) ;; *) return ;; esac
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

check_ghostscript_drawn() {
  if ! messages=$(gs -q -dNOPAUSE -dBATCH -dSAFER -sPAPERSIZE=a4 -sDEVICE=bbox "$eps" 2>&1) ||
    echo "$messages" | grep -q 'Error'; then
    fail "Ghostscript failed: $(echo "$messages" | grep -m1 'Error')"
    return
  fi
  echo "$messages" | grep '^%%HiResBoundingBox:' | awk '{ exit !($4 > $2 && $5 > $3) }' ||
    { fail "nothing drawn"; return; }
  check_ghostscript_inside
  rendered_dark "$eps" || fail "the rendered page is blank"
}

check_epstopdf() {
  pdf=$work/page.pdf
  epstopdf --outfile="$pdf" "$eps" >/dev/null 2>&1 || { fail "epstopdf failed"; return; }
  check_page "$pdf" 0
}

check_epscrop() {
  pdf=$work/page.pdf
  gs -q -dNOPAUSE -dBATCH -dSAFER -dEPSCrop -sDEVICE=pdfwrite -sOutputFile="$pdf" "$eps" \
    >/dev/null 2>&1 || { fail "Ghostscript failed"; return; }
  check_page "$pdf" 0
}

# LibreOffice converts every file of the folder in one start, beforehand.
convert_with_libreoffice() {
  mkdir -p "$work/office"
  HOME=$work soffice -env:UserInstallation="file://$work/profile" --headless \
    --convert-to pdf --outdir "$work/office" "$folder"/*.eps >"$work/office.log" 2>&1 ||
    { cat "$work/office.log" >&2; echo "FAIL: soffice failed" >&2; exit 1; }
}

# Draw puts an imported picture on its own A4 page, scaled down to fit
# within the page's margins, as a bitmap that it has Ghostscript render from
# the EPS at the box's size: that bitmap has the box's proportions, and is
# placed no larger than the box. pdfimages gives the bitmap's resolution in
# whole pixels per inch, so a placement at the box's own size may come out a
# little larger: up to 1%, as the proportions may differ.
check_libreoffice() {
  pdf=$work/office/$(basename "$eps" .eps).pdf
  [ -f "$pdf" ] || { fail "LibreOffice wrote no PDF"; return; }
  images=$(pdfimages -list "$pdf" | awk 'NR > 2 { print $4, $5, $13, $14 }')
  [ "$(echo "$images" | grep -c .)" -eq 1 ] || { fail "expected one picture, got: $images"; return; }
  set -- $images
  placed=$(echo "$1 $2 $3 $4" | awk '{ printf "%.1f %.1f", $1 * 72 / $3, $2 * 72 / $4 }')
  expected="$((urx - llx)) $((ury - lly))"
  echo "$(basename "$eps"): box $expected, LibreOffice picture of $1 x $2 pixels placed at $placed"
  echo "$1 $2 $expected $placed" | awk '{ ratio = ($1 / $2) / ($3 / $4)
    exit !(ratio > 0.99 && ratio < 1.01 && $5 <= $3 * 1.01 && $6 <= $4 * 1.01) }' ||
    fail "picture of $1 x $2 pixels placed at $placed: not the box's proportions within $expected"
  rendered_dark "$pdf" || fail "the rendered page is blank"
}

check_dvips() {
  cp "$eps" "$work/figure.eps"
  # A text block and page larger than any A4 picture, so nothing overflows.
  printf '%s\n' '\documentclass{article}' '\usepackage{graphicx}' '\pagestyle{empty}' \
    '\setlength{\textwidth}{2000pt}\setlength{\textheight}{2000pt}' \
    '\setlength{\paperwidth}{2000pt}\setlength{\paperheight}{2000pt}' \
    '\begin{document}' '\noindent\includegraphics{figure.eps}' '\end{document}' \
    >"$work/figure.tex"
  (cd "$work" && latex -interaction=batchmode figure.tex >/dev/null 2>&1 &&
    dvips -q -E -o page.eps figure.dvi >/dev/null 2>&1) || { fail "latex or dvips failed"; return; }
  made=$(grep -a -m1 '^%%BoundingBox:' "$work/page.eps" | tr -d '\r' | cut -d' ' -f2-)
  set -- $made
  size="$(($3 - $1)) $(($4 - $2))"
  expected="$((urx - llx)) $((ury - lly))"
  echo "$(basename "$eps"): box $expected, dvips -E box $size"
  sizes_match "$size" "$expected" 2 || fail "dvips -E box $size, expected $expected"
  rendered_dark "$work/page.eps" || fail "the rendered page is blank"
}

# A large page with the picture well inside it, so that whatever escapes
# the clip lands on the page too.
check_dvips_clip() {
  cp "$eps" "$work/figure.eps"
  width=$(((urx - llx) / 2))
  height=$(((ury - lly) / 2))
  viewport="0 0 $width $height"  # from the box's lower-left corner
  printf '%s\n' '\documentclass{article}' '\usepackage{graphicx}' '\pagestyle{empty}' \
    '\setlength{\textwidth}{1500pt}\setlength{\textheight}{1500pt}' \
    '\setlength{\paperwidth}{2000pt}\setlength{\paperheight}{2000pt}' \
    '\special{papersize=2000pt,2000pt}' '\begin{document}' \
    '\vspace*{600pt}\noindent\hspace*{600pt}\includegraphics[clip,viewport='"$viewport"']{figure.eps}' \
    '\end{document}' >"$work/figure.tex"
  (cd "$work" && latex -interaction=batchmode figure.tex >/dev/null 2>&1 &&
    dvips -q -o page.ps figure.dvi >/dev/null 2>&1) || { fail "latex or dvips failed"; return; }
  drawn=$(gs -q -dNOPAUSE -dBATCH -dSAFER -dDEVICEWIDTHPOINTS=2000 -dDEVICEHEIGHTPOINTS=2000 \
    -dFIXEDMEDIA -sDEVICE=bbox "$work/page.ps" 2>&1 | grep '^%%HiResBoundingBox:' | cut -d' ' -f2-)
  echo "$(basename "$eps"): clip $width x $height, drawn $drawn"
  echo "$drawn $width $height" | awk '{ w = $3 - $1; h = $4 - $2
    exit !(w > 0 && h > 0 && w <= $5 + 1 && h <= $6 + 1) }' ||
    fail "drawn beyond the clip of $width x $height: $drawn"
}

check_stdout() {
  gs -q -dNOPAUSE -dBATCH -dSAFER -dEPSCrop -r10 -sDEVICE=pgmraw -sOutputFile=- "$eps" \
    >"$work/out.pgm" 2>/dev/null || { fail "Ghostscript failed"; return; }
  start=$(head -c 40 "$work/out.pgm" | tr -c '[:print:]' '.')
  echo "$(basename "$eps"): standard output begins \"$start\""
  [ "$(head -c 2 "$work/out.pgm")" = P5 ] || fail "text before the image on standard output"
}

check_guard() {
  cat >"$work/guard.ps" <<EOF
/before [clippath pathbbox] def
/vmsave save def
/showpage {} def
($eps) run
vmsave restore
[/initclip /initgraphics /initmatrix /erasepage /copypage /setpagedevice] {
  dup load 1 index systemdict exch get eq { pop } { (FAIL: still replaced: ) print == } ifelse
} forall
10 10 20 20 rectclip initclip
/after [clippath pathbbox] def
0 1 3 {
  dup before exch get exch after exch get sub abs 0.01 gt { (FAIL: initclip left a clip) = } if
} for
(checked) =
EOF
  result=$(gs -q -dNODISPLAY -dBATCH -dNOPAUSE -dSAFER --permit-file-read="$eps" "$work/guard.ps" 2>&1) ||
    { fail "Ghostscript failed: $(echo "$result" | grep -m1 Error)"; return; }
  echo "$(basename "$eps"): $(echo "$result" | grep -v '^%%\[' | tr '\n' ' ')"
  echo "$result" | grep -q '^checked$' || fail "the check did not run to its end"
  if echo "$result" | grep -q '^FAIL'; then fail "$(echo "$result" | grep -m1 '^FAIL')"; fi
}

case $check in
  ghostscript_*|stdout|guard) need gs ;;
  dvips_clip) need latex dvips gs ;;
  epstopdf) need epstopdf gs pdfinfo pdftoppm convert ;;
  epscrop) need gs pdfinfo pdftoppm convert ;;
  libreoffice) need soffice pdfimages pdftoppm convert; convert_with_libreoffice ;;
  dvips) need latex dvips gs convert ;;
esac

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
