#!/usr/bin/env bash
# Takes the README's screenshots: the demo under Xvfb, driven by xdotool.
# Needs xvfb, xdotool and imagemagick; run from the top of the checkout after
# building (scripts/demo.sh or scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
demo=build/app/talvo4-demo
display=:57

Xvfb "$display" -screen 0 1280x900x24 &
xvfb=$!
trap 'kill $demo_pid $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
"$demo" >/dev/null &
demo_pid=$!

window_of() {
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && {
            echo "$id"
            return
        }
        sleep 0.2
    done
    echo "no window named $1" >&2
    exit 1
}

shoot() {
    sleep 1
    import -window "$1" "docs/$2.png"
}

main=$(window_of "TOOL Ver 0.80")
shoot "$main" main-window

xdotool mousemove --window "$main" 200 96 click 1  # リモートコントロール
shoot "$(window_of "リモコン")" remote

xdotool mousemove --window "$main" 436 96 click 1  # キャプチャー
capture=$(window_of "Capture Tool")
sleep 1
xdotool mousemove --window "$capture" 240 335 click 1  # キャプチャー in the capture window
sleep 6
shoot "$capture" capture

# Xvfb has no window manager: focus the main window with a click, then the shortcut.
xdotool windowfocus --sync "$main"
xdotool key ctrl+t
shoot "$(window_of "^入出力映像信号調整$")" timing
