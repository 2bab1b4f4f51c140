#!/usr/bin/env bash
# Run by hand: the size of each metafile's EPS file beside LibreOffice
# Draw's EPS export of the same metafile, and their ratios. Converts with
# the 64-bit build's convert_files through the EPS test printer (build
# first), and with LibreOffice headless; prints a line a file and the sums.
# Folders are searched to any depth; each file is named by its path below
# the folder, so files of the same name in different folders stay apart.
#   scripts/bench-size.sh [FOLDER | EMF...]   (default: core/tests/data/emf)
# A file counts as too large when it is more than 3 times LibreOffice's plus
# 64 KB; the sums, when Vellumark's is more than 1.5 times LibreOffice's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine.sh
. "$root/scripts/wine.sh"
arch=win64
convert=$root/build/$arch/render/convert_files.exe
[ -x "$convert" ] || { echo "build the $arch build first (scripts/build.sh)" >&2; exit 1; }

inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=("$root/core/tests/data/emf")
# Lines of "name<TAB>path": a folder's files named by their path below it
# with "/" as "_", a file named by itself.
list_metafiles() {
  local input
  for input in "$@"; do
    if [ -d "$input" ]; then
      find "$input" -type f -iname '*.emf' -printf '%P\t%p\n' |
        awk -F '\t' '{ name = $1; gsub("/", "_", name); print name "\t" $2 }'
    else
      printf '%s\t%s\n' "$(basename "$input")" "$input"
    fi
  done | sort
}
mapfile -t entries < <(list_metafiles "${inputs[@]}")
[ ${#entries[@]} -gt 0 ] || { echo "no metafiles in ${inputs[*]}" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/vellumark" "$work/libreoffice" "$work/profile"
names=()
for entry in "${entries[@]}"; do
  name=${entry%%$'\t'*}
  ln -s "$(realpath "${entry#*$'\t'}")" "$work/in/$name"
  names+=("$name")
done
windows=()
for name in "${names[@]}"; do windows+=("$(windows_path "$work/in/$name")"); done
"$root/scripts/wine-run" "$arch" "$root/build/$arch/wineprefix" "$convert" 1 \
  "$(windows_path "$work/vellumark")" "${windows[@]}" >/dev/null
(cd "$work/in" && soffice -env:UserInstallation="file://$work/profile" --headless \
  --convert-to eps --outdir "$work/libreoffice" "${names[@]}" >/dev/null 2>&1) || true

size_of() { if [ -f "$1" ]; then stat -c %s "$1"; else echo 0; fi; }
limit=$((64 * 1024))
total_ours=0 total_theirs=0 over=0
printf '%-40s %12s %12s %8s\n' file vellumark libreoffice ratio
for name in "${names[@]}"; do
  stem=${name%.*}
  ours=$(size_of "$work/vellumark/$stem.eps")
  theirs=$(size_of "$work/libreoffice/$stem.eps")
  ratio=-
  [ "$theirs" -eq 0 ] || ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
  mark=
  if [ "$theirs" -gt 0 ] && [ "$ours" -gt $((3 * theirs + limit)) ]; then
    mark=" too large"
    over=$((over + 1))
  fi
  printf '%-40s %12d %12d %8s%s\n' "$stem" "$ours" "$theirs" "$ratio" "$mark"
  total_ours=$((total_ours + ours))
  total_theirs=$((total_theirs + theirs))
done
sum_ratio=$(awk -v a="$total_ours" -v b="$total_theirs" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
printf '%-40s %12d %12d %8s\n' "sum (${#names[@]} files)" "$total_ours" "$total_theirs" "$sum_ratio"
echo "files over 3 x LibreOffice + 64 KB: $over"
