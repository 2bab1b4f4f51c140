#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12, as root. Quick when
# everything is already there.
set -euo pipefail

packages=(
  cmake g++ make googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
  xvfb x11-utils xdotool x11-apps imagemagick
  ghostscript texlive-font-utils poppler-utils
  libreoffice-draw-nogui texlive-latex-base
  fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
