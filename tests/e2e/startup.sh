#!/bin/bash
# Starts the real game as the server under a virtual display, waits for its
# window, checks what it prints and what it shows, then ends it.
# Usage: startup.sh <build-dir> <source-dir>
set -u
build=$(cd "$1" && pwd)
out="$build/test-frames"
mkdir -p "$out"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

export BUILD="$build" OUT="$out" LOG="$log"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    cd "$BUILD/data" || exit 1
    "$BUILD/maze" > "$LOG" 2>&1 &
    pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^maze$" | head -1)
    if [ -z "$wid" ]; then echo "FAIL: no window titled maze"; kill $pid; exit 1; fi
    geometry=$(xwininfo -id "$wid" | awk "/Width:/{w=\$2} /Height:/{h=\$2} END{print w\"x\"h}")
    sleep 1
    import -window "$wid" "$OUT/startup.png"
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

# The shipped level declares its light count after the cell rows.
expected=$(python3 - "$build/data/korvath.map" <<'PY'
import sys
t = open(sys.argv[1]).read().split()
cols, rows = int(t[0]), int(t[1])
i = 5
nf = int(t[i]); i += 1 + 3 * nf
np_ = int(t[i]); i += 1 + 3 * np_
i += 4 + cols * rows
print(int(t[i]))
PY
)
grep -qx "num of lights: $expected" "$log" || { echo "FAIL: expected 'num of lights: $expected'"; exit 1; }

# The frame must show something: the picture is not one flat colour.
colours=$(/usr/bin/convert "$out/startup.png" -format %k info:)
echo "distinct colours in the frame: $colours"
[ "$colours" -gt 1 ] || { echo "FAIL: the window shows a single colour"; exit 1; }
echo "PASS: window 640x480, $expected lights, frame in $out/startup.png"
