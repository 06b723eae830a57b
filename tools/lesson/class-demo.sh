#!/bin/bash
# A small class for the README: four students drive the real window under
# Xvfb with xdotool on the default map (--record, --spara 1110), each in
# their own way, a fifth closes the window without pressing START; then the
# class run ranks them. Usage:
#   class-demo.sh BUILD_DIR DATA_DIR OUT_DIR
# OUT_DIR gets the recordings (klass/), the class page and the students'
# pages, and screenshots of the class page (klass.png) and of anna's page
# (jamforelse.png).
set -euo pipefail

build=$(realpath "$1")
data=$(realpath "$2")
out=$(realpath -m "$3")

for tool in Xvfb xvfb-run xdotool chromium; do
    if ! command -v "$tool" >/dev/null; then
        echo "class-demo: $tool is not installed"
        exit 77
    fi
done
unset QT_QPA_PLATFORM
if [ -z "${LESSON_IN_XVFB:-}" ]; then
    export LESSON_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

mkdir -p "$out/klass"
work=$(mktemp -d /tmp/tralvik-class-demo-XXXXXX)
trap 'rm -rf "$work"' EXIT

wx=176
wy=97
cy=$((wy + 21))
at() { xdotool mousemove $((wx + $1)) $((wy + $2)); }
click() { at "$1" "$2"; xdotool click 1; sleep 0.4; }
keys() { xdotool type --delay 120 "$1"; }
pointer() { xdotool mousemove $((wx + $1)) $((cy + $2)); }

# drive NAME STEPS...: one student's drive in a fresh copy of the folder;
# a step is "k KEYS", "s SECONDS", "p X Y" (the pointer) or "nostart".
drive() {
    local name=$1; shift
    rm -rf "$work/run"
    cp -r "$data" "$work/run"
    (cd "$work/run" && QT_QPA_PLATFORM=xcb exec "$build/app/tralvik" --record "$out/klass/$name.rec" \
        --spara 1110 >"$work/$name.log" 2>&1) &
    local pid=$!
    sleep 3
    click 400 300                   # the preface away
    if [ "$1" != nostart ]; then
        click 720 517               # START
        while [ $# -gt 0 ]; do
            case $1 in
            k) keys "$2"; shift 2 ;;
            s) sleep "$2"; shift 2 ;;
            p) pointer "$2" "$3"; shift 3 ;;
            esac
        done
    fi
    kill -TERM $pid
    wait $pid || { echo "class-demo: the window failed:"; cat "$work/$name.log"; exit 1; }
}

rm -f "$out"/klass/*.rec
drive anna   k 8888 s 3 k G k 88 s 4 k G s 8 k 2 s 10 k 5 s 6
drive bo     k 88888888 s 3 k G k 8888 s 3 k G k 888 s 5 k 000 s 2 k 5 k 8888 s 5 k 000 s 3 k 5 k 888 s 6
drive cilla  k A k 888 s 6 k 88 s 8 k 22 s 8 k 0 s 1 k 5 s 6
drive david  k M p 400 200 s 4 p 400 120 s 6 p 400 80 s 6 p 400 500 s 2 p 400 200 s 10
drive erik   nostart
"$build/batch/tralvik-batch" --class "$out/klass" "$data" --report "$out/klass.html" --jobs 2 || true
chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$work/profile" \
    --hide-scrollbars --window-size=900,1250 --screenshot="$out/klass.png" "file://$out/klass.html" 2>/dev/null
# One student's comparison page, as the README shows it.
chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$work/profile" \
    --hide-scrollbars --window-size=1280,1800 --screenshot="$out/jamforelse.png" "file://$out/klass-anna.html" 2>/dev/null
