#!/bin/bash
# render_game_window.sh <build-dir> <source-dir> -- starts the game under a
# virtual display, grabs its window and checks that the first view shows the
# textured maze: sky at the top, the floor at the bottom, the crosshair.
# The screenshot lands in <build-dir>/test-frames/game-window.png.
set -u
build=$(cd "$1" && pwd)
shot="$build/test-frames/game-window.png"
mkdir -p "$build/test-frames" && rm -f "$shot"
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null || [ ! -x /usr/bin/import ]; then
    echo "SKIP: xvfb-run, xdotool or ImageMagick missing"
    exit 0
fi
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
cd "$1/data" || exit 1
"$1/maze" > "$1/test-frames/game-window.log" 2>&1 &
pid=$!
trap "kill $pid 2>/dev/null; wait $pid 2>/dev/null" EXIT
wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^maze$" | head -1)
[ -n "$wid" ] || { echo "FAIL: no game window"; exit 1; }
sleep 2
timeout 20 /usr/bin/import -window "$wid" "$2" || { echo "FAIL: no screenshot"; exit 1; }
kill -0 $pid 2>/dev/null || { echo "FAIL: the game ended"; exit 1; }
' inner "$build" "$shot" || { echo "FAIL: game run ended with status $?"; exit 1; }

# Mean colour of a box, or of one pixel: "r g b" in 0..255.
rgb() { /usr/bin/convert "$shot" -crop "$1" +repage -resize 1x1\! -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:; }
read -r sr sg sb <<<"$(rgb 200x40+220+60)"    # upper middle: sky
read -r fr fg fb <<<"$(rgb 200x40+220+400)"   # lower middle: floor
read -r cr cg cb <<<"$(rgb 1x1+320+240)"      # the centre
echo "sky $sr $sg $sb, floor $fr $fg $fb, centre $cr $cg $cb"
fail=0
[ "$sb" -gt $((sr + 30)) ] || { echo "FAIL: no blue sky at the top"; fail=1; }
[ "$fr" -gt $((fb + 20)) ] || { echo "FAIL: no sandy floor at the bottom"; fail=1; }
[ "$cr" -gt 230 ] && [ "$cg" -gt 230 ] && [ "$cb" -gt 230 ] || { echo "FAIL: no white crosshair at the centre"; fail=1; }
exit $fail
