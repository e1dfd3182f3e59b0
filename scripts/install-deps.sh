#!/usr/bin/env bash
# Installs what building, testing and running need on Debian 12 (as root).
set -euo pipefail
packages=(cmake g++ make qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libpq-dev
          libgl-dev postgresql xvfb xauth imagemagick qt6-translations-l10n clang-tidy)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
