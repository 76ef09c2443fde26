#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the media generator need.
# Does nothing when all of them are already there; uses sudo when not root.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libjpeg-dev               # checks each texture with the JPEG library the engine uses
  libirrlicht-dev           # the 3D engine
  libgtest-dev googletest   # unit tests
  libbenchmark-dev          # benchmarks
  lib3ds-dev                # 3DS writer for the media generator
  libfreetype-dev fonts-dejavu-core  # glyphs for the bitmap font
  libx11-dev                # the window-close end-to-end test speaks Xlib
  xvfb xdotool imagemagick x11-utils libgl1-mesa-dri  # end-to-end runs in a real window
  xauth
  dpkg-dev file             # make package: dpkg-shlibdeps works out the Depends
  desktop-file-utils man-db # the installed launcher and manual page are checked
  lintian mmdebstrap        # the package check: lint, then a clean Debian 12 root
  clang libclang-rt-14-dev  # fuzz targets: libFuzzer and the sanitizers' runtimes
  valgrind                  # the corpus through the engine's own (uninstrumented) loaders
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
