#!/usr/bin/env bash
# Starts the real program in a real X server, with the accessibility bus a
# screen reader turns on: reads its window as the reader would, opens the
# help with Alt+H (its title must be exactly "Hjälp"), checks the main
# window's size and closes it as a window manager would.
set -euo pipefail
# A session bus of our own, ended with the script (and the accessibility bus
# it starts with it).
if [ -z "${TUMBILDER_SMOKE_BUS:-}" ]; then
  export TUMBILDER_SMOKE_BUS=1
  exec dbus-run-session -- "$0" "$@"
fi
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

# What a screen reader says when it starts; the program's toolkit listens.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:ScreenReaderEnabled variant:boolean:true >/dev/null

"$program" > "$tmp/out.log" 2>&1 &
app_pid=$!
/usr/bin/python3 "$here/open_help.py" Tumbilder Hjälp
/usr/bin/python3 "$here/read_names.py" Tumbilder Tumbilder
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
