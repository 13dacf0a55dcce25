#!/usr/bin/env bash
# Installs everything Lantorvix needs to build, run and test on a fresh Debian 12 machine.
# Usage: scripts/install-deps.sh [run|package|test]
#   run: build + desktop only; package: and the Debian package; test: everything
set -euo pipefail
what=${1:-test}

run_pkgs=(
  build-essential cmake ninja-build pkg-config gettext
  qt6-base-dev libgl-dev
  libx11-dev libxtst-dev libxkbcommon-dev libxkbcommon-x11-dev xkb-data x11-xkb-utils
  libglib2.0-dev
  xvfb xauth trayer x11-apps x11-xserver-utils imagemagick xdotool
  libwayland-dev libwayland-bin qt6-wayland
)
package_pkgs=(dpkg-dev)
test_pkgs=(
  lintian desktop-file-utils file
  sway waybar dbus
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine64 wine nsis zip x11-utils
  devscripts wixl msitools
  xdotool strace valgrind procps python3 util-linux
  gsettings-desktop-schemas libglib2.0-bin
)

pkgs=("${run_pkgs[@]}")
[ "$what" = package ] && pkgs+=("${package_pkgs[@]}")
[ "$what" = test ] && pkgs+=("${package_pkgs[@]}" "${test_pkgs[@]}")

export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
