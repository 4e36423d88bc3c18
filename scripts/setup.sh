#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Only missing packages are installed, so a second run costs seconds.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config binutils
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools libqt6sql6-sqlite
  libbenchmark-dev
  xvfb xauth xdotool imagemagick fonts-dejavu-core fonts-liberation2 poppler-utils
  python3-pyatspi at-spi2-core dbus-x11
  dpkg-dev file lintian desktop-file-utils appstream man-db time
  clang libclang-rt-14-dev llvm
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
