#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need. Does nothing when they are
# all present already, so running it again is fast.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qtbase5-dev libqt5serialport5-dev libqt5charts5-dev libqt5svg5-dev libqt5svg5
  nlohmann-json3-dev libusb-1.0-0-dev libsdl2-dev libhidapi-dev
  umockdev libumockdev-dev
  xvfb xauth
  clang-14 libclang-rt-14-dev
  desktop-file-utils appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
