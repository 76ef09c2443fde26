#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the media generator need.
# Does nothing when all of them are already there; uses sudo when not root. Without root
# or sudo it names what is missing and the command to run as root, and fails.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libjpeg-dev               # checks each texture with the JPEG library the engine uses
  libirrlicht-dev           # the 3D engine
  libgtest-dev googletest   # unit tests
  libbenchmark-dev          # benchmarks
  lib3ds-dev                # 3DS writer for the media generator
  libfreetype-dev fonts-dejavu-core  # glyphs for the bitmap font
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

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Run as root: apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
