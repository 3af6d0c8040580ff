#!/usr/bin/env bash
# Installs what the project needs from Debian 12's packages, when missing.
# Sourced by demo.sh and test.sh; runs apt-get as root or through sudo.
set -euo pipefail

SONIVAR_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libusb-1.0-0-dev
  libumockdev-dev umockdev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libhdf5-dev libfftw3-dev libeigen3-dev
  libpipewire-0.3-dev pipewire pipewire-bin wireplumber pipewire-jack dbus-daemon
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  sox python3-h5py
  fonts-urw-base35 xvfb xauth
  usbutils
)

sonivar_install_packages() {
  local missing=()
  for p in "${SONIVAR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installation des paquets manquants : ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}

# sonivar_build DIR [cmake options...]: configures and builds in DIR.
sonivar_build() {
  local dir="$1"; shift
  cmake -S "$SONIVAR_ROOT" -B "$SONIVAR_ROOT/$dir" "$@"
  cmake --build "$SONIVAR_ROOT/$dir" -j"$(nproc)"
}

SONIVAR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
