#!/usr/bin/env bash
# replay.sh BUILD_DIR [SOURCE_DIR] -- a game recorded and played back:
#   - maze-server --record and a client's maze --record both write a file
#     that maze-replay check finds whole after q (client) and SIGTERM
#     (server); F9 on the client saves its last seconds to --record-dir;
#   - the client's view is grabbed live before and after a walk; maze
#     --replay of its recording shows the same two views at the same
#     instants (the start, paused, and the end the replay rests on), within
#     a tolerance for the prey that move in the picture; the two instants
#     differ from each other, so the comparison means something.
# Screens go to BUILD_DIR/test-frames/replay_*.png.
set -u
xvfb_screen=1024x768x24 xvfb_timeout=200
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"
frames="$build/test-frames"
mkdir -p "$frames"
export SDL_AUDIODRIVER=dummy

fail() { echo "FAIL: $*"; tail -n 5 "$work"/*.out 2>/dev/null; exit 1; }
grab() { import -window "$1" "$frames/replay_$2.png"; }
# Pixels of the 3-D view (inside the frame, above the message line) that
# differ by more than 10% between two screens.
view_change() { changed "$frames/replay_$1.png" "$frames/replay_$2.png" 440x320+40+40 10%; }

"$build/maze-server" --record "$work/server.mzr" > "$work/server.out" 2>&1 &
server=$!
pids+=($server)
for _ in $(seq 100); do grep -q " started " "$work/server.out" && break; sleep 0.1; done
before=$(windows)
"$build/maze" --record "$work/client.mzr" --record-dir "$work" 127.0.0.1 > "$work/client.out" 2>&1 &
client=$!
pids+=($client)
cw=$(new_window "$before") || fail "no client window"
xdotool mousemove --window "$cw" 320 240
sleep 2
grab "$cw" live_start
xdotool keydown i
sleep 1.5
xdotool keyup i
sleep 1.5
grab "$cw" live_end
xdotool key F9
sleep 0.5
xdotool key q
for _ in $(seq 50); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
check "q ends the client with Good-Bye" grep -q "Good-Bye" "$work/client.out"
kill -TERM "$server"
for _ in $(seq 50); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
check "the client's recording is whole" "$build/maze-replay" check "$work/client.mzr"
check "the server's recording is whole after SIGTERM" "$build/maze-replay" check "$work/server.mzr"
last=$(ls "$work"/maze-last-*.mzr 2>/dev/null | head -1)
check "F9 saved the last seconds into --record-dir" test -n "$last"
[ -n "$last" ] && check "F9's file is whole" "$build/maze-replay" check "$last"
"$build/maze-replay" info "$work/client.mzr" | tee "$work/info"
duration=$(field "$work/info" duration_s)
check "the recording lasts as the game did ($duration s)" awk -v d="$duration" 'BEGIN { exit !(d > 4 && d < 30) }'

# Another level's world cannot show this recording: one line, status 1.
"$build/maze" --replay "$work/client.mzr" --map arena.map > "$work/other.out" 2>&1
status=$?
check "a replay on another level is refused (status $status)" test "$status" = 1
check "in one line naming both levels" grep -q 'recorded\|made on the level "korvath.map".*"arena.map"' "$work/other.out"

before=$(windows)
"$build/maze" --replay "$work/client.mzr" > "$work/replay.out" 2>&1 &
replay=$!
pids+=($replay)
rw=$(new_window "$before") || fail "no replay window"
xdotool mousemove --window "$rw" 320 240
xdotool key space
sleep 1
grab "$rw" replay_start
# Resumed at 8x: the replay reaches its end and rests on the last body.
xdotool key space Up Up Up
sleep 4
grab "$rw" replay_end
xdotool key q
for _ in $(seq 50); do kill -0 "$replay" 2>/dev/null || break; sleep 0.1; done
check "q ends the replay with Good-Bye" grep -q "Good-Bye" "$work/replay.out"

walk=$(view_change live_start live_end)
start=$(view_change live_start replay_start)
end=$(view_change live_end replay_end)
echo "pixels changed: by the walk $walk, live and replay at the start $start, at the end $end (of 140800)"
check "the walk changed the view" test "$walk" -gt 20000
check "the replay's first frame is the live one" test "$start" -lt 5000
check "the replay's last frame is the live one" test "$end" -lt 5000

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "replay.sh: all checks passed"
