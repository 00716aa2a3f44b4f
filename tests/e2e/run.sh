#!/usr/bin/env bash
# The end-to-end test: the demo on an X server of its own (Xvfb), with a
# private session bus and accessibility bus, driven from outside by
# drive_demo.py as a screen reader drives an application, and as a person
# does with real X key and mouse events (xdotool) and the X clipboard (xclip).
# Usage: tests/e2e/run.sh path/to/talvo4-demo
set -euo pipefail
demo=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
xvfb=""
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

# The server picks a free display and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

# A home of its own: the save dialog opens in its documents folder.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME/Documents" && mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
unset QT_SCALE_FACTOR

# The session bus starts the accessibility bus and its registry on demand.
timeout 110 dbus-run-session -- /usr/bin/python3 "$here/drive_demo.py" "$demo" 2> >(grep -v "fd limit\|Activating service\|Successfully activated\|SpiRegistry daemon\|X connection to" >&2)
