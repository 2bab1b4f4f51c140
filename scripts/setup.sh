#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12, as root. Quick when
# everything is already there.
#
# The package registry is sometimes inconsistent for a while (an index of the
# wrong size during a mirror sync): the index update is retried, and when some
# indexes still fail they are named and the install goes on with what apt
# has. A package the tests cannot do without that still fails to install
# fails the set-up with apt's own error. 32-bit Wine is installed in a step of
# its own and is optional: without it the 32-bit tests are skipped.
#
# SETUP_UPDATE_TRIES and SETUP_RETRY_SECONDS set how often and how far apart
# the index update is tried (default 4 tries, 15 seconds apart).
set -euo pipefail

required=(
  cmake g++ clang make googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
  xvfb x11-utils xdotool x11-apps imagemagick
  ghostscript texlive-font-utils poppler-utils
  libreoffice-draw-nogui texlive-latex-base
  fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea fonts-wine
)
wine32=wine32:i386
update_tries=${SETUP_UPDATE_TRIES:-4}
retry_seconds=${SETUP_RETRY_SECONDS:-15}

is_installed() {
  local status
  status=$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)
  [ "$status" = installed ]
}

missing_of() {
  local package
  for package in "$@"; do
    is_installed "$package" || echo "$package"
  done
}

# Updates the package indexes, trying again while any fails. apt-get update
# exits 100 when one index fails, even though it keeps every other; after the
# last try the failed ones are named and the set-up goes on with the rest.
update_indexes() {
  local try output
  for ((try = 1; try <= update_tries; try++)); do
    if output=$(apt-get update -q 2>&1); then
      return 0
    fi
    if ((try < update_tries)); then
      echo "apt-get update failed (try $try of $update_tries); trying again in ${retry_seconds} s"
      sleep "$retry_seconds"
    fi
  done
  echo "apt-get update still fails after $update_tries tries; going on with the indexes apt has. Failed:"
  grep -E '^(E|W): ' <<<"$output" | grep -oE '(Failed to fetch|Unable to fetch) [^ ]+' |
    sed 's/^.* /  /' | sort -u || true
  grep -qE '(Failed to fetch|Unable to fetch)' <<<"$output" || sed 's/^/  /' <<<"$output"
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

mapfile -t missing < <(missing_of "${required[@]}")
need_wine32=false
is_installed "$wine32" || need_wine32=true
[ ${#missing[@]} -eq 0 ] && [ "$need_wine32" = false ] && exit 0

to_install=("${missing[@]}")
[ "$need_wine32" = false ] || to_install+=("$wine32")
echo "Installing: ${to_install[*]}"
if [ "$need_wine32" = true ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
update_indexes

if [ ${#missing[@]} -gt 0 ]; then
  log=$(mktemp)
  if ! apt_install "${missing[@]}" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "setup: could not install what the tests need: ${missing[*]}" >&2
    exit 1
  fi
  rm -f "$log"
fi

if [ "$need_wine32" = true ]; then
  log=$(mktemp)
  if apt_install "$wine32" >"$log" 2>&1; then
    echo "Installed $wine32."
  else
    reason=$(grep -E '^E: ' "$log" | head -n 1 | sed 's/^E: //')
    echo "32-bit Wine ($wine32) could not be installed (${reason:-apt failed}); the 32-bit tests will be skipped."
  fi
  rm -f "$log"
fi
