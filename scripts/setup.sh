#!/usr/bin/env bash
# Installs what the project needs, and nothing twice: the Debian packages
# that are missing, then the browser-test packages from npm.
# Usage: setup.sh [build|package|test|fuzz]   (default: test, which includes
# build and package)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
mode=${1:-test}

want=(
  cmake g++ make pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n
  libimagequant-dev libgif-dev libjpeg62-turbo-dev fonts-dejavu-core
  libpng-dev libwebp-dev libheif-dev libtiff-dev libavif-dev
  libraw-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
)
# The Debian package: dpkg-shlibdeps (and file, which CPack uses to find the
# programs) compute its Depends.
case $mode in package|test) want+=(dpkg-dev file) ;; esac
if [ "$mode" = test ] || [ "$mode" = fuzz ]; then
  # Validators for the desktop entry, the metainfo and the package.
  want+=(xvfb xauth python3 python3-xlib desktop-file-utils appstream lintian chromium)
  # The smoke test reads the window as a screen reader does, over AT-SPI.
  want+=(dbus-daemon dbus-bin python3-pyatspi)
  # The README's many-machines recipe is run as written, on one machine.
  want+=(parallel)
  # Films for the tests are made with FFmpeg's own program.
  want+=(ffmpeg)
  # node and npm may come from elsewhere than Debian; then leave them be.
  command -v node >/dev/null 2>&1 || want+=(nodejs)
  command -v npm >/dev/null 2>&1 || want+=(npm)
fi
[ "$mode" = fuzz ] && want+=(clang libclang-rt-14-dev)

install_missing_packages setup "${want[@]}"

# The gallery page is checked in a real browser driven by playwright-core.
if { [ "$mode" = test ] || [ "$mode" = fuzz ]; } && [ -f tests/e2e/package-lock.json ]; then
  if [ ! -d tests/e2e/node_modules ] || [ tests/e2e/package-lock.json -nt tests/e2e/node_modules ]; then
    (cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
