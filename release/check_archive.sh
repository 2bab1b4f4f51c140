#!/usr/bin/env bash
# Checks a release archive as a user gets it: unpacks it, expects exactly the
# program, README.txt (the README's Windows section under a title naming the
# version, with CR LF line ends), LICENSE and THIRD-PARTY-NOTICES as in the
# source tree, then starts the unpacked program under Wine, waits for its
# window and closes it, expecting exit code 0.
# CMake, which wrote the archive, reads it too: it is there wherever the
# build is, where unzip may not be.
# Usage: check_archive.sh ARCH PREFIX ARCHIVE SOURCE_DIR DRIVE_EXE CMAKE WORK_DIR
set -euo pipefail
# shellcheck source=scripts/display.sh
. "$(dirname "$0")/../scripts/display.sh"
arch=$1
prefix=$2
archive=$3
source=$4
drive=$5
cmake=$6
work=$7

# How long the started program gets to end once its window was closed.
EXIT_TIMEOUT_SECONDS=30
EXPECTED_FILES=$'LICENSE\nREADME.txt\nTHIRD-PARTY-NOTICES\nVellumark.exe'

fail() {
  echo "release archive: $*" >&2
  exit 1
}
wine_run() {
  "$DISPLAY_SCRIPTS/wine-run" "$arch" "$prefix" "$@"
}

[ -f "$archive" ] || fail "expected the archive $archive"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && "$cmake" -E tar xf "$archive") || fail "expected $archive to unpack"

files=$("$cmake" -E tar tf "$archive" | LC_ALL=C sort)
[ "$files" = "$EXPECTED_FILES" ] || fail "expected the files
$EXPECTED_FILES
got
$files"

for document in LICENSE THIRD-PARTY-NOTICES; do
  cmp -s "$source/$document" "$work/$document" || fail "expected $document as in the source tree"
done

readme=$work/README.txt
lines=$(wc -l <"$readme")
crlf_lines=$(grep -c $'\r$' "$readme" || true)
if [ "$lines" -eq 0 ] || [ "$crlf_lines" -ne "$lines" ]; then
  fail "expected README.txt to end all its $lines lines in CR LF, $crlf_lines do"
fi
version=$(basename "$archive" .zip | sed -E 's/^Vellumark-(.*)-win(32|64)$/\1/')
expected_readme=$(printf 'Vellumark %s on Windows\n\n' "$version"
  awk '/^## On Windows$/ { inside = 1; next } /^## / { inside = 0 }
    inside && (started || NF) { started = 1; print }' "$source/README.md")
[ "$(tr -d '\r' <"$readme")" = "$expected_readme" ] ||
  fail "expected README.txt to be the README's Windows section under the title 'Vellumark $version on Windows'"

wine_run "$work/Vellumark.exe" </dev/null >/dev/null 2>&1 &
program=$!
wine_run "$drive" wait || fail "expected the unpacked program's window"
exit_code=0
wine_run "$drive" close || exit_code=$?
[ "$exit_code" -eq 0 ] || fail "expected exit code 0 on close, got $exit_code"
# The program this script started, not some other Vellumark, has ended.
timeout "$EXIT_TIMEOUT_SECONDS" tail --pid="$program" -f /dev/null ||
  fail "expected the unpacked program to end once closed"
echo "release archive: $(basename "$archive") holds $(echo "$files" | tr '\n' ' ')and its program ran"
