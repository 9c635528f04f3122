#!/bin/sh
# Writes three classic galleries (9 pictures in 4 columns with JPG thumbnails,
# in 2 with BMP and in 3 with GIF thumbnails) and a modern one (36 pictures
# in 4 columns, web-size copies) and checks them in headless Chromium,
# opened from disk and from a local web server that sends pages as UTF-8.
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
server=
trap '[ -n "$server" ] && kill "$server"; rm -rf "$work"' EXIT

"$make_gallery" "$work/fyra kolumner" 4 jpg
"$make_gallery" "$work/två kolumner" 2 bmp
"$make_gallery" "$work/tre kolumner" 3 gif
"$make_gallery" "$work/modern sida" 4 jpg modern 800
python3 "$here/serve.py" "$work" > "$work/port" &
server=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "FAIL: the local web server did not start" >&2; exit 1; }
GALLERY_HTTP="http://127.0.0.1:$(cat "$work/port")/" GALLERY_ROOT="$work" \
node "$here/check.mjs" "$work/fyra kolumner/manifest.json" "$work/två kolumner/manifest.json" \
    "$work/tre kolumner/manifest.json" "$work/modern sida/manifest.json"
