#!/usr/bin/env bash
# Plays mutated metafiles through the conversion job under 64-bit Wine: each
# seed mutates one of the real metafiles of core/tests/data/emf and its plus/
# folder (EMF+ metafiles) a little (scripts/../tests/mutator: GDI records,
# and EMF+ records in comments), and the job converts it with the EPS test
# printer. A seed that crashes the process is counted and the run goes on
# after it. Further folders of metafiles (their .emf files, in subfolders
# too) join the project's own. Runs of other seeds may go side by side: each
# works in a folder of its own, with a Wine prefix of its own (made on its
# first use, which takes a minute), so that neither counts the other's job
# files nor loses its display when the other ends. Run by hand after
# scripts/build.sh:
#   scripts/soak-metafiles.sh [COUNT [FIRST_SEED [FOLDER...]]]   (default 5000 from 0)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win64
count=${1:-5000}
first=${2:-0}
last=$((first + count))
shift $(($# < 2 ? $# : 2))

# shellcheck source=scripts/display.sh
. "$root/scripts/display.sh"
work=$build/soak/$first
rm -rf "$work"
mkdir -p "$work"
start_xvfb
stop() {
  stop_wine win64 "$work/wineprefix"
  stop_xvfb
}
trap stop EXIT
sources=()
while IFS= read -r emf; do
  sources+=("$(windows_path "$emf")")
done < <(
  ls "$root"/core/tests/data/emf/*.emf "$root"/core/tests/data/emf/plus/*.emf
  for folder in "$@"; do find "$folder" -iname '*.emf' | sort; done
)

crashes=()
seed=$first
while [ "$seed" -lt "$last" ]; do
  if "$root/scripts/wine-run" win64 "$work/wineprefix" "$build/render/metafile_soak.exe" \
    "$seed" $((last - seed)) "$(windows_path "$work/progress")" "$(windows_path "$work")" \
    "${sources[@]}"; then
    break
  fi
  crashed=$(tr -d '\r\n' <"$work/progress")
  crashes+=("$crashed")
  echo "seed $crashed ended the process"
  seed=$((crashed + 1))
done
echo "mutants $first-$((last - 1)): ${#crashes[@]} crashes${crashes:+ (seeds ${crashes[*]})}"
