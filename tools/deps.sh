#!/usr/bin/env bash
# Installs the Debian packages that a make target needs, by group:
#   run      build the game and play it (make run)
#   test     the tests, the benchmarks and the tools (make test, make install, make bench)
#   fuzz     the fuzz targets (make fuzz)
#   package  the Debian package and its check on a clean root (make package-check)
#   docs     the handling plots and the architecture picture under docs/ (make handling,
#            make docs-pictures)
# Every group takes run's packages, and fuzz, package and docs take test's too: they
# configure the whole tree. No group named: all of them but docs, which only its own
# targets need.
# Does nothing when all are there; uses sudo when not root. Without root or sudo it names
# what is missing and the command to run as root, and fails.
# Usage: tools/deps.sh [run|test|fuzz|package|docs]...
set -euo pipefail

# group: packages  # what for
read -r -d '' list <<'EOF' || true
run:     g++ cmake make             # the compiler and the build
run:     libirrlicht-dev            # the 3D engine
run:     libjpeg-dev                # decodes the textures
run:     libgl1-mesa-dri            # OpenGL in software on a machine without a GPU
run:     libx11-dev                 # Xlib: the program watches its window for a close from outside
run:     libopenal-dev              # OpenAL Soft plays the sounds the program synthesizes
test:    libgtest-dev               # unit tests
test:    libbenchmark-dev           # benchmarks
test:    lib3ds-dev                 # 3DS writer for the media generator
test:    libfreetype-dev fonts-dejavu-core  # glyphs for the bitmap font
test:    xvfb xdotool imagemagick   # end-to-end runs in a real window; the icons
test:    openbox x11-utils          # a window manager for focus and minimizing; xprop, xmessage
test:    desktop-file-utils man-db  # the installed launcher and manual page are checked
test:    valgrind                   # the corpus, decoded and handed to the engine, watched whole
fuzz:    clang libclang-rt-14-dev   # libFuzzer and the sanitizers' runtimes
package: dpkg-dev file              # dpkg-shlibdeps works out the Depends
package: lintian mmdebstrap         # lint, then a clean Debian 12 root
docs:    gnuplot-nox                # draws the handling plots
docs:    graphviz                   # the architecture picture, from its .dot source
EOF

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(test fuzz package)
wanted=" run "
for group in "${groups[@]}"; do
  case "$group" in
    run) ;;
    test) wanted+="test " ;;
    fuzz | package | docs) wanted+="test $group " ;;
    *) echo "deps.sh: no group '$group' (run, test, fuzz, package, docs)" >&2; exit 2 ;;
  esac
done

packages=()
while read -r group rest; do
  [[ $wanted == *" ${group%:} "* ]] || continue
  read -r -a names <<<"${rest%%#*}"
  packages+=("${names[@]}")
done <<<"$list"

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
