#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing hummbox need.
# Packages already installed are skipped; nothing is downloaded when all are there.
set -euo pipefail

packages=(g++ cmake make pkg-config libsdl2-dev libgtest-dev libbenchmark-dev crasm srecord
          libsndfile1-dev zlib1g-dev xvfb xauth python3 python3-xlib python3-pil
          libpng-dev libfftw3-dev nettle-dev nlohmann-json3-dev # hummbox-render's catalogue
          desktop-file-utils  # the install test validates the desktop entry
          chromium)           # the catalogue page is checked in a real browser
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
