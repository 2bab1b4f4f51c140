#!/usr/bin/env bash
# The set-up's decisions on a bad day at the package registry, against
# stand-ins for apt-get, dpkg and dpkg-query placed first on PATH: the real
# registry is never asked. Then the probe that decides whether the 32-bit
# build is tested, against a Wine library folder with and without 32-bit
# Wine.
set -uo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The stand-ins keep their state in $STANDIN: installed (the packages
# installed, one a line), updates (one word a try: ok or fail, the last
# repeated), broken (packages whose install fails) and calls (what was run).
make_standins() {
  local bin=$1/bin
  mkdir -p "$bin"
  cat >"$bin/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
package=${!#}
grep -qxF -e "$package" "$STANDIN/installed" && printf installed
STANDIN
  cat >"$bin/dpkg" <<'STANDIN'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STANDIN/calls"
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STANDIN
  cat >"$bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STANDIN/calls"
case $1 in
  update)
    result=$(head -n 1 "$STANDIN/updates")
    [ "$(wc -l <"$STANDIN/updates")" -gt 1 ] && sed -i 1d "$STANDIN/updates"
    echo "Get:1 http://deb.debian.org/debian bookworm InRelease"
    if [ "$result" = fail ]; then
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi ;;
  install)
    for package in "$@"; do
      if grep -qxF -e "$package" "$STANDIN/broken"; then
        echo "E: Unable to correct problems, you have held broken packages ($package)." >&2
        exit 100
      fi
    done
    for package in "$@"; do
      [[ $package == -* || $package == install ]] || echo "$package" >>"$STANDIN/installed"
    done ;;
esac
exit 0
STANDIN
  chmod +x "$bin"/*
  : >"$1/installed"
  : >"$1/broken"
  : >"$1/calls"
  echo ok >"$1/updates"
}

# Runs the set-up with the stand-ins: sets $output (both streams) and $status.
# With SETUP_TEST_SHOW=1 each case's output is printed as well.
run_setup() {
  output=$(PATH="$STANDIN/bin:$PATH" SETUP_RETRY_SECONDS=0 "$scripts/setup.sh" 2>&1)
  status=$?
  if [ "${SETUP_TEST_SHOW:-0}" = 1 ]; then
    printf '== %s (exit %s)\n%s\n' "$(basename "$STANDIN")" "$status" "$output"
  fi
}

expect_line() {
  grep -qxF -- "$2" <<<"$output" || fail "$1: expected the line '$2'; the set-up printed:"$'\n'"$output"
}

expect_status() {
  [ "$status" -eq "$2" ] || fail "$1: expected exit status $2, got $status; the set-up printed:"$'\n'"$output"
}

installs_of() {
  grep -c '^apt-get install' "$STANDIN/calls"
}

new_case() {
  export STANDIN=$work/$1
  make_standins "$STANDIN"
}

new_case update-recovers
printf 'fail\nok\n' >"$STANDIN/updates"
run_setup
expect_status update-recovers 0
expect_line update-recovers "apt-get update failed (try 1 of 4); trying again in 0 s"
grep -q 'still fails' <<<"$output" && fail "update-recovers: reported failed indexes after a good try"
[ "$(installs_of)" -eq 2 ] || fail "update-recovers: expected 2 installs (required, 32-bit Wine), got $(installs_of)"
grep -qxF ghostscript "$STANDIN/installed" || fail "update-recovers: ghostscript was not installed"

new_case update-always-fails
echo fail >"$STANDIN/updates"
run_setup
expect_status update-always-fails 0
expect_line update-always-fails "apt-get update still fails after 4 tries; going on with the indexes apt has. Failed:"
expect_line update-always-fails "  http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
[ "$(grep -c '^apt-get update' "$STANDIN/calls")" -eq 4 ] || fail "update-always-fails: expected 4 updates"
grep -qxF wine64 "$STANDIN/installed" || fail "update-always-fails: wine64 was not installed"

new_case wine32-fails
echo wine32:i386 >"$STANDIN/broken"
run_setup
expect_status wine32-fails 0
expect_line wine32-fails "32-bit Wine (wine32:i386) could not be installed (Unable to correct problems, you have held broken packages (wine32:i386).); the 32-bit tests will be skipped."
grep -qxF cmake "$STANDIN/installed" || fail "wine32-fails: cmake was not installed"

new_case required-fails
echo ghostscript >"$STANDIN/broken"
run_setup
expect_status required-fails 1
expect_line required-fails "E: Unable to correct problems, you have held broken packages (ghostscript)."
grep -q '^setup: could not install what the tests need: cmake ' <<<"$output" ||
  fail "required-fails: expected the set-up to name what it could not install; it printed:"$'\n'"$output"
grep -q '^apt-get install.*wine32:i386' "$STANDIN/calls" && fail "required-fails: 32-bit Wine was tried after a failure"

new_case all-there
for package in cmake g++ clang make googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 \
  xvfb x11-utils xdotool x11-apps imagemagick ghostscript texlive-font-utils poppler-utils \
  libreoffice-draw-nogui texlive-latex-base fonts-liberation2 fonts-crosextra-carlito \
  fonts-crosextra-caladea fonts-wine wine32:i386; do
  echo "$package" >>"$STANDIN/installed"
done
: >"$STANDIN/calls"
run_setup
expect_status all-there 0
[ -z "$output" ] || fail "all-there: expected no output, got:"$'\n'"$output"
[ ! -s "$STANDIN/calls" ] || fail "all-there: expected no apt-get call, got: $(cat "$STANDIN/calls")"

# The probe: with no 32-bit Wine in the library folder the 32-bit build is
# skipped whatever the kernel can do; with it, the kernel decides.
mkdir -p "$work/wine-none" "$work/wine-both"
printf '#!/bin/sh\n' >"$work/wine-both/wine"
chmod +x "$work/wine-both/wine"
why=$(WINE_LIBRARY=$work/wine-none bash -c ". '$scripts/wine.sh'; can_run_32bit") &&
  fail "probe: expected the 32-bit build skipped without 32-bit Wine"
case $why in
  "32-bit Wine is not installed (the set-up could not install wine32:i386)" | \
    "this kernel refuses 32-bit programs (Exec format error)" | \
    "no i386 assembler or linker to probe with") ;;
  *) fail "probe: unexpected reason '$why'" ;;
esac
kernel=$(WINE_LIBRARY=$work/wine-both bash -c ". '$scripts/wine.sh'; can_run_32bit")
[ "$kernel" != "32-bit Wine is not installed (the set-up could not install wine32:i386)" ] ||
  fail "probe: blamed 32-bit Wine although it is there"

if [ "$failures" -eq 0 ]; then
  echo "setup decisions: all cases passed"
fi
exit "$((failures > 0))"
