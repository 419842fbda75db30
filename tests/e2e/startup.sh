#!/bin/bash
# Starts the real game as the server under a virtual display, waits for its
# window, checks what it prints and what its first view shows (the textured
# maze: sky at the top, the floor at the bottom, the white crosshair), then
# ends it. The screenshot lands in <build-dir>/test-frames/startup.png.
# Usage: startup.sh <build-dir> <source-dir>
set -u
build=$(cd "$1" && pwd)
out="$build/test-frames"
shot="$out/startup.png"
mkdir -p "$out" && rm -f "$shot"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

export BUILD="$build" SHOT="$shot" LOG="$log"
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    cd "$BUILD/data" || exit 1
    "$BUILD/maze" > "$LOG" 2>&1 &
    pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^maze$" | head -1)
    if [ -z "$wid" ]; then echo "FAIL: no window titled maze"; kill $pid; exit 1; fi
    geometry=$(xwininfo -id "$wid" | awk "/Width:/{w=\$2} /Height:/{h=\$2} END{print w\"x\"h}")
    sleep 2
    timeout 20 import -window "$wid" "$SHOT"
    alive=1; kill -0 $pid 2>/dev/null || alive=0
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
    echo "geometry=$geometry alive=$alive"
    [ "$geometry" = "640x480" ] || { echo "FAIL: window is $geometry, not 640x480"; exit 1; }
    [ $alive = 1 ] || { echo "FAIL: the game ended by itself"; exit 1; }
    exit 0
'
status=$?
cat "$log"
[ $status = 0 ] || exit 1
grep -q "^num of lights: [1-9]" "$log" || { echo "FAIL: the level's light count is missing"; exit 1; }
[ -f "$shot" ] || { echo "FAIL: no screenshot"; exit 1; }

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
[ $fail = 0 ] && echo "PASS: window 640x480, the maze in $shot"
exit $fail
