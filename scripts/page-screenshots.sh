#!/usr/bin/env bash
# Takes the README's screenshots of the modern gallery page, on a phone
# (390 px wide) and on a desktop (1440 px): the browser test's gallery, made
# by the real run, shown in headless Chromium by tests/e2e/check.mjs.
# Usage: scripts/page-screenshots.sh [DIR]   (default docs; after `make test`
# or `make setup-test` and a build)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs}")
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --build build --target make_gallery >/dev/null
QT_QPA_PLATFORM=offscreen build/tests/e2e/make_gallery "$tmp/modern" 4 jpg modern 800
GALLERY_SCREENSHOTS="$out" node tests/e2e/check.mjs "$tmp/modern/manifest.json"
echo "wrote $out/modern-390.png and $out/modern-1440.png"
