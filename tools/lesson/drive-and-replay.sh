#!/bin/bash
# End-to-end check of the lesson: drives the real window under Xvfb with
# xdotool on the default map (the result files switched on in the program
# constants panel, throttle and brake keys, gear changes by hand, mouse mode,
# a Stopp/Start pause) for over 60 s with --record, then replays the
# recording with tralvik-batch and compares the result files byte for byte;
# last it runs --compare. Usage:
#   drive-and-replay.sh BUILD_DIR DATA_DIR [KEEP_DIR]
# KEEP_DIR, when given, keeps the recording, the screenshots and the page.
# Exit status 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -euo pipefail

build=$(realpath "$1")
data=$(realpath "$2")
keep=${3:-}

for tool in Xvfb xvfb-run xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "drive-and-replay: $tool is not installed; skipped"
        exit 77
    fi
done

# The window must show on the X server, whatever the tests set.
unset QT_QPA_PLATFORM
if [ -z "${LESSON_IN_XVFB:-}" ]; then
    export LESSON_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d /tmp/tralvik-lesson-XXXXXX)
trap '[ -n "${LESSON_DEBUG:-}" ] || rm -rf "$work"' EXIT
cp -r "$data" "$work/run"
mkdir -p "$work/drive"
cd "$work/run"

# The window stands at (176, 97) on a screen without a window manager; its
# menu bar is 21 pixels high, the client area (800 x 600) below it.
wx=176
wy=97
cy=$((wy + 21))
at() { xdotool mousemove $((wx + $1)) $((wy + $2)); }
click() { at "$1" "$2"; xdotool click 1; sleep 0.4; }
keys() { xdotool type --delay 120 "$1"; }
# The pointer glides there in a few moves, as a hand does.
pointer() {
    for i in 1 2 3 4; do
        xdotool mousemove $((wx + $1 + 4 * i - 16)) $((cy + $2 + 4 * i - 16))
        sleep 0.05
    done
}

QT_QPA_PLATFORM=xcb "$build/app/tralvik" --record "$work/drive.rec" >"$work/window.log" 2>&1 &
pid=$!
sleep 3
click 400 300                       # the preface away
click 50 10                         # Konstanter
xdotool key Down Down Down Return   # -> Programkonstanter
sleep 0.5
click 600 129                       # end of the Spara row (0110)
xdotool key BackSpace BackSpace BackSpace BackSpace
keys 1110                           # both result files on
[ -n "${LESSON_DEBUG:-}" ] && import -window root "$work/panel.png"
click 250 300                       # the label box: apply and close
click 720 517                       # START
sleep 1
keys 8888888                        # throttle
sleep 4
keys G                              # second gear by hand
keys 888
sleep 4
keys G
sleep 5
keys 00                             # brake
sleep 2
keys 5                              # release
keys 888
sleep 3
keys g                              # down a gear
sleep 3
import -window root "$work/driving.png"
click 343 10                        # Stopp/Start: pause
sleep 3
click 343 10                        # Stopp/Start: go on
sleep 2
keys M                              # mouse mode: height is throttle or brake
pointer 400 150
sleep 4
pointer 420 100
sleep 5
pointer 380 500                     # brake
sleep 3
pointer 400 250
sleep 5
keys A                              # automatic gearbox
sleep 8
keys 2222                           # less throttle
sleep 5
keys 000
sleep 3
keys 5
sleep 8
import -window root "$work/late.png"
kill -TERM $pid
wait $pid || { echo "drive-and-replay: the window failed:"; cat "$work/window.log"; exit 1; }

for f in Resultat.txt Resultatp.txt; do
    [ -s "$f" ] || { echo "drive-and-replay: the drive wrote no $f"; exit 1; }
    cp "$f" "$work/drive/"
done
ticks=$(grep -c ' tick$' "$work/drive.rec")
echo "drive-and-replay: $ticks ticks recorded, $(wc -l <Resultat.txt) lines in Resultat.txt"
if [ "$ticks" -lt 1500 ]; then
    echo "drive-and-replay: the drive was shorter than 60 s"
    exit 1
fi
for ev in ' key G$' ' key g$' ' key 0$' ' key M$' ' mouse ' ' menu stopp$' ' panel-apply program '; do
    grep -q -- "$ev" "$work/drive.rec" || { echo "drive-and-replay: no '$ev' in the recording"; exit 1; }
done

"$build/batch/tralvik-batch" --replay "$work/drive.rec" "$work/run" --in-place
for f in Resultat.txt Resultatp.txt; do
    cmp "$work/drive/$f" "$work/run/$f"
done
echo "drive-and-replay: the replay wrote both result files byte for byte as the drive"

"$build/batch/tralvik-batch" --compare "$work/drive.rec" "$work/run" --report "$work/compare.html"

if [ -n "$keep" ]; then
    mkdir -p "$keep"
    cp "$work/drive.rec" "$work"/*.png "$work/compare.html" "$keep/"
fi
