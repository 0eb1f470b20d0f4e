#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks and the demo need.
# Only packages that are missing are installed. As root apt-get runs directly; otherwise
# through sudo when it is available; otherwise the exact command is printed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format dpkg-dev file
  qt6-base-dev qt6-qpa-plugins
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libsdl2-dev libkissfft-dev libmp3lame-dev zlib1g-dev libisal-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgpod-dev
  xvfb xauth x11-apps imagemagick fonts-noto-cjk
  clang-16 libclang-rt-16-dev
  dbus dbus-daemon
  dante-server tinyproxy curl openssl python3
  ffmpeg
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
cmd=(apt-get install -y --no-install-recommends "${missing[@]}")
if [[ $(id -u) -eq 0 ]]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q || true
  "${cmd[@]}"
elif command -v sudo >/dev/null 2>&1; then
  sudo apt-get update -q || true
  sudo env DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
else
  echo "Please run as root:"
  echo "  apt-get update && ${cmd[*]}"
  exit 1
fi
