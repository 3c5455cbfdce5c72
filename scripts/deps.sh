#!/usr/bin/env bash
# Installs the Debian packages Vigilux needs to build, run and test, but only
# those that are missing. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins
  libqt6multimedia6 libqt6svg6 libgl-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  fonts-dejavu-core qt6-translations-l10n
  libcurl4-openssl-dev qtkeychain-qt6-dev libopencv-dev
  qt6-httpserver-dev qt6-websockets-dev libsodium-dev libssl-dev
)
if [ "${1:-}" = "--test" ]; then
  packages+=(xvfb xauth python3 python3-pyftpdlib opencv-doc python3-aiosmtpd openssl curl clang-format
             pulseaudio pulseaudio-utils dbus-daemon dbus-session-bus-common
             gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
             python3-gi python3-xlib gir1.2-gstreamer-1.0 gir1.2-gst-rtsp-server-1.0
             chromium chromium-driver python3-selenium)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "Vigilux needs these Debian packages and cannot install them without root or sudo: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
