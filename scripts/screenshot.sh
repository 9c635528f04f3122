#!/usr/bin/env bash
# Takes the README's screenshot of the main window: the real program in a
# real X server (Xvfb), captured by scripts/screenshot.py.
# Usage: scripts/screenshot.sh [OUT.png]   (builds first with `make build`)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/tumbilder.png}
mkdir -p "$(dirname "$out")"
tmp=$(mktemp -d)
trap 'kill ${app_pid:-} ${xvfb_pid:-} 2>/dev/null || true; rm -rf "$tmp"' EXIT
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")" XDG_RUNTIME_DIR="$tmp"
unset QT_QPA_PLATFORM
build/tumbilder >/dev/null 2>&1 &
app_pid=$!
/usr/bin/python3 scripts/screenshot.py Tumbilder "$out" 30
echo "wrote $out"
