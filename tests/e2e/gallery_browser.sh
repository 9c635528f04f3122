#!/bin/sh
# Writes three galleries (9 pictures in 4 columns with JPG thumbnails, in 2
# with BMP and in 3 with GIF thumbnails) and checks them in headless Chromium.
# Missing tools fail the test: scripts/setup.sh installs them.
# usage: gallery_browser.sh MAKE_GALLERY
set -eu
here=$(cd "$(dirname "$0")" && pwd)
make_gallery=$1

if [ ! -x /usr/bin/chromium ]; then
    echo "FAIL: /usr/bin/chromium is missing; run scripts/setup.sh" >&2
    exit 1
fi
if [ ! -d "$here/node_modules/playwright-core" ]; then
    echo "FAIL: $here/node_modules is missing; run scripts/setup.sh (npm ci)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tumbilder-gallery.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$make_gallery" "$work/fyra kolumner" 4 jpg
"$make_gallery" "$work/två kolumner" 2 bmp
"$make_gallery" "$work/tre kolumner" 3 gif
node "$here/check.mjs" "$work/fyra kolumner/manifest.json" "$work/två kolumner/manifest.json" \
    "$work/tre kolumner/manifest.json"
