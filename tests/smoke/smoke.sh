#!/usr/bin/env bash
# Starts the real program in a real X server, waits for its window
# "Tumbilder", opens the help with Alt+H (its title must be exactly "Hjälp"),
# checks the main window's size and closes it as a window manager would.
set -euo pipefail
program=$1
here=$(dirname "$0")
tmp=$(mktemp -d)
trap 'kill $xvfb_pid 2>/dev/null || true; rm -rf "$tmp"' EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start"; cat "$tmp/xvfb.log"; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
export XDG_RUNTIME_DIR="$tmp"
unset QT_QPA_PLATFORM

"$program" > "$tmp/out.log" 2>&1 &
app_pid=$!
/usr/bin/python3 "$here/open_help.py" Tumbilder Hjälp
/usr/bin/python3 "$here/close_window.py" Tumbilder 488 422
for _ in $(seq 100); do kill -0 $app_pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $app_pid 2>/dev/null; then
  echo "the program did not end after its window was closed"; kill $app_pid; exit 1
fi
wait $app_pid
status=$?
cat "$tmp/out.log"
echo "exit status $status"
exit $status
