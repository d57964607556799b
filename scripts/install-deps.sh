#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Vellora need.
# Works as root (as in CI) and through sudo otherwise; does nothing when all
# packages are already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev libwmf-dev libx11-dev libdconf-dev fonts-urw-base35
  xvfb xdotool x11-utils imagemagick libjpeg-turbo-progs libimage-exiftool-perl tesseract-ocr
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 nsis
  dpkg-dev lintian xscreensaver xserver-xephyr x11-xserver-utils fonts-wine
  qt6-wayland sway grim wtype jq mutter kwin-wayland wayland-utils
  libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols libsystemd-dev libxcb-screensaver0-dev
  gnome-session-bin dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
