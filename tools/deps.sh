#!/usr/bin/env bash
# Installs the Debian packages that a make target needs, by group; a group brings the
# groups it builds on (in brackets):
#   run            build the game and play it (make run)
#   install        [run] the icons and manual page that install with it (make game, make install)
#   package        [install] the Debian package (make package)
#   package-check  [package] the package linted, then tried on a clean Debian 12 root
#                  (make package-check)
#   test           [install] the tests, the benchmarks and the tools (make test, make build,
#                  make bench)
#   fuzz           [test] the fuzz targets (make fuzz)
#   docs           the handling plots and the architecture picture under docs/ (make
#                  docs-pictures; make handling asks for test too)
#   format         clang-format (make format)
# No group named: what CI needs, test, fuzz and package-check.
# Does nothing when all are there; uses sudo when not root. Without root or sudo it names
# what is missing and the command to run as root, and fails.
# Usage: tools/deps.sh [group]...
#        tools/deps.sh --list [group]...   only print the groups' packages, one a line
set -euo pipefail

# group: packages  # what for
read -r -d '' list <<'EOF' || true
run:     g++ cmake make             # the compiler and the build
run:     libirrlicht-dev            # the 3D engine
run:     libjpeg-dev                # decodes the textures
run:     libgl1-mesa-dri            # OpenGL in software on a machine without a GPU
run:     libx11-dev                 # Xlib: the program watches its window for a close from outside
run:     libopenal-dev              # OpenAL Soft plays the sounds the program synthesizes
install: imagemagick                # cuts and scales the icons
package: dpkg-dev file              # dpkg-shlibdeps works out the Depends
package-check: lintian mmdebstrap   # lint, then a clean Debian 12 root
package-check: xvfb xdotool         # the installed game's first frame, in a private X display
test:    libgtest-dev               # unit tests
test:    libbenchmark-dev           # benchmarks
test:    lib3ds-dev                 # 3DS writer for the media generator
test:    libfreetype-dev fonts-dejavu-core  # glyphs for the bitmap font
test:    xvfb xdotool               # end-to-end runs in a real window
test:    openbox x11-utils          # a window manager for focus and minimizing; xprop, xmessage
test:    desktop-file-utils man-db  # the installed launcher and manual page are checked
test:    valgrind                   # the corpus, decoded and handed to the engine, watched whole
fuzz:    clang libclang-rt-14-dev   # libFuzzer and the sanitizers' runtimes
docs:    gnuplot-nox                # draws the handling plots
docs:    graphviz                   # the architecture picture, from its .dot source
format:  clang-format               # make format
EOF

# Each group and the groups it builds on.
declare -A builds_on=([run]="run" [install]="run install" [package]="run install package"
  [package-check]="run install package package-check" [test]="run install test"
  [fuzz]="run install test fuzz" [docs]="docs" [format]="format")
list_only=false
[ "${1:-}" != --list ] || { list_only=true; shift; }
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(fuzz package-check)
wanted=" "
for group in "${groups[@]}"; do
  [ -n "${builds_on[$group]:-}" ] ||
    { echo "deps.sh: no group '$group' (run install package package-check test fuzz docs format)" >&2; exit 2; }
  wanted+="${builds_on[$group]} "
done

packages=()
while read -r group rest; do
  [[ $wanted == *" ${group%:} "* ]] || continue
  read -r -a names <<<"${rest%%#*}"
  packages+=("${names[@]}")
done <<<"$list"

if $list_only; then printf '%s\n' "${packages[@]}"; exit 0; fi

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
