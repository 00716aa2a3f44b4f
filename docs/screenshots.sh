#!/usr/bin/env bash
# Takes the README's screenshots: the demo under Xvfb, driven by xdotool, at
# the desktop scale of 96 dpi and again at a scale of 2 (remote and capture,
# "@2x"). Needs xvfb, xdotool and imagemagick; run from the top of the
# checkout after building (scripts/demo.sh or scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
demo=build/app/talvo4-demo
display=:57
xvfb=""
demo_pid=""
trap 'kill $demo_pid $xvfb 2>/dev/null || true' EXIT

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

# start SCALE: a fresh X server and the demo at that desktop scale.
start() {
    kill $demo_pid $xvfb 2>/dev/null || true
    wait $demo_pid $xvfb 2>/dev/null || true
    Xvfb "$display" -screen 0 "$((1280 * $1))x$((900 * $1))x24" -dpi "$((96 * $1))" &
    xvfb=$!
    sleep 1
    export DISPLAY=$display
    QT_SCALE_FACTOR=$1 "$demo" >/dev/null &
    demo_pid=$!
}

# click WINDOW X Y: a click at a point given in pixels of 96 dpi.
click() {
    xdotool mousemove --window "$1" $(($2 * scale)) $(($3 * scale)) click 1
}

# shots SUFFIX: the windows, opened the way a user opens them.
shots() {
    main=$(window_of "TOOL Ver 0.80")
    [ -z "$1" ] && shoot "$main" main-window

    click "$main" 200 96  # リモートコントロール
    shoot "$(window_of "リモコン")" "remote$1"

    click "$main" 436 96  # キャプチャー
    capture=$(window_of "Capture Tool")
    sleep 1
    click "$capture" 240 335  # キャプチャー in the capture window
    sleep 6
    shoot "$capture" "capture$1"
}

scale=1
start $scale
shots ""
# Xvfb has no window manager: focus the main window with a click, then the shortcut.
xdotool windowfocus --sync "$main"
xdotool key ctrl+t
shoot "$(window_of "^入出力映像信号調整$")" timing

scale=2
start $scale
shots "@2x"
