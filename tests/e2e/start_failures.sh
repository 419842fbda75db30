#!/bin/bash
# Clear failures at start-up, as a new user meets them:
#   - started where there is no level, the game uses the data folder beside
#     it and says so; a copy of the program with no data anywhere says in
#     one line where it looked and ends before any window;
#   - a second server on a busy port says why and that no client can join,
#     in its error lines and on its window's message line, while the first
#     plays on; its window does not open over the first one's;
#   - a client of an unknown host ends at once with -1 and names the host,
#     although a server runs on this machine;
#   - a client whose level has another number of fighters ends with -1
#     after the line that names both levels by their digests.
# Usage: start_failures.sh <build-dir> <source-dir>
set -u
xvfb_screen=1024x768x24
source "$(dirname "$0")/lib/net_env.bash"
frames="$build/test-frames"
mkdir -p "$frames"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -8 "$f"; done; exit 1; }
maze_windows() { xdotool search --onlyvisible --name '^maze$' 2>/dev/null | sort; }
# Yellow pixels (the message line's text) in the strip of the message line
# right of where the start-up text "Info message here" ends (x 183 in the
# labels' font).
message_pixels() {
    /usr/bin/convert "$1" -crop 200x16+200+372 +repage -fuzz 25% -fill white -opaque "#FFFF00" \
        -fill black +opaque white -format "%[fx:round(mean*w*h)]" info:
}

# No level anywhere: one line, status 1, and no window was tried.
mkdir -p "$work/bare/bin" "$work/empty"
cp "$build/maze" "$work/bare/bin/maze"
(cd "$work/empty" && env -u DISPLAY timeout 10 "$work/bare/bin/maze" > "$work/bare.log" 2>&1)
status=$?
[ $status = 1 ] || fail "a game without data ended with status $status, not 1"
[ "$(wc -l < "$work/bare.log")" = 1 ] || fail "a game without data printed more than one line"
grep -q "$work/empty.*$work/bare/bin/data.*cd build/data" "$work/bare.log" || fail "the line does not say where the game looked and how to start it"

# Started from an empty folder: the data folder beside the program.
(cd "$work/empty" && exec "$build/maze") > "$work/server.log" 2>&1 &
first=$!
pids+=($first)
swid=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
[ -n "$swid" ] || fail "no window of the server started from an empty folder"
for _ in $(seq 50); do grep -q "waiting on port 9899" "$work/server.log" && break; sleep 0.1; done
grep -qx "Data folder: $build/data" "$work/server.log" || fail "the server did not say it uses $build/data"
grep -q "^Server named .* waiting on port 9899$" "$work/server.log" || fail "the first server did not start"
sleep 1
import -window "$swid" "$frames/port_free.png"

# A second server: the port is taken.
"$build/maze" > "$work/busy.log" 2>&1 &
busy=$!
pids+=($busy)
bwid=
for _ in $(seq 100); do
    bwid=$(maze_windows | grep -vx "$swid" | head -1)
    [ -n "$bwid" ] && break
    sleep 0.1
done
[ -n "$bwid" ] || fail "the second server opened no window"
# Where each window is: "x y" of its top-left corner on the screen.
window_place() { xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }'; }
first_place=$(window_place "$swid")
second_place=$(window_place "$bwid")
[ "$first_place" = "0 0" ] || fail "the first server's window is at $first_place, not the origin"
# On this 1024 x 768 screen there is no room beside it: the opposite corner.
[ "$second_place" = "384 288" ] || fail "the second server's window is at $second_place, not in the corner clear of the first"
grep -q "port 9899: Address already in use - is another server running? No client can join" "$work/busy.log" ||
    fail "no plain line about the busy port"
free_px=$(message_pixels "$frames/port_free.png")
# The message follows the window's first passes: up to 5 s for a slow
# (e.g. sanitized) build.
for _ in $(seq 10); do
    sleep 0.5
    import -window "$bwid" "$frames/port_busy.png"
    busy_px=$(message_pixels "$frames/port_busy.png")
    [ "$busy_px" -gt 100 ] && break
done
[ "$busy_px" -gt 100 ] && [ "$free_px" -lt 20 ] || fail "the busy server's window does not say that no client can join"
kill -0 $busy 2>/dev/null || fail "the server without a port stopped; it should play alone"
kill -0 $first 2>/dev/null || fail "the first server ended"

# An unknown host: never a join with the local server.
start=$(date +%s.%N)
timeout 20 "$build/maze" no-such-host.invalid > "$work/unknown.log" 2> "$work/unknown.err"
status=$?
took=$(echo "$(date +%s.%N) - $start" | bc)
[ $status = 255 ] || fail "a client of an unknown host ended with status $status, not -1"
grep -q 'cannot find the server host "no-such-host.invalid"' "$work/unknown.err" || fail "the host is not named"
awk -v t="$took" 'BEGIN { exit !(t < 5) }' || fail "the client took $took s to give up"

# A level with one fighter start less.
mkdir -p "$work/other"
for f in "$build"/data/*; do ln -s "$f" "$work/other/"; done
rm "$work/other/korvath.map"
python3 - "$build/data/korvath.map" "$work/other/korvath.map" <<'PY'
import sys
t = open(sys.argv[1]).read().split()
n = int(t[5])
t = t[:5] + [str(n - 1)] + t[6:6 + 3 * (n - 1)] + t[6 + 3 * n:]
open(sys.argv[2], "w").write(" ".join(t) + "\n")
PY
(cd "$work/other" && timeout 30 "$build/maze" 127.0.0.1) > "$work/other.log" 2>&1
status=$?
[ $status = 255 ] || fail "a client of another level ended with status $status, not -1"
tail -1 "$work/other.log" | grep -q 'the server plays "korvath.map" (digest [0-9a-f]\{16\}), this client has "korvath.map" (digest [0-9a-f]\{16\})' ||
    fail "the client's last line does not name the two levels"
kill -0 $first 2>/dev/null || fail "the first server ended"
echo "PASS: data folder, busy port, unknown host and other level each fail clearly"
