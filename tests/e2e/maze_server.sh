#!/bin/bash
# maze-server, the windowless server: links no GL, GLUT or SDL, starts from
# any folder, prints the server's start-up lines, serves a real maze client
# and two maze-bot clients at the game's pace with its own fighter out of
# play, stays light, and ends on SIGINT with "Good-Bye" and status 0.
# Usage: maze_server.sh <build-dir> <source-dir>
set -u
if [ -z "${MAZE_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec env MAZE_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
# The display is for the real client only.
if [ -z "${MAZE_SERVER_INNER:-}" ]; then
    exec env MAZE_SERVER_INNER=1 timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -8 "$f"; done; exit 1; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

libs=$(ldd "$build/maze-server" | grep -Ei 'libGL|glut|SDL' || true)
[ -z "$libs" ] || fail "maze-server links $libs"
"$build/maze-server" extra > /dev/null 2> "$work/usage.log"
[ $? = 2 ] && grep -q "^usage: maze-server" "$work/usage.log" || fail "an argument did not get the usage line"

mkdir -p "$work/empty"
(cd "$work/empty" && exec "$build/maze-server") > "$work/server.log" 2>&1 &
server=$!
pids+=($server)
for _ in $(seq 100); do grep -q "waiting on port 9899" "$work/server.log" && break; sleep 0.1; done
grep -q "^Server named .* waiting on port 9899$" "$work/server.log" || fail "no server start line"
grep -qx "Data folder: $build/data" "$work/server.log" || fail "maze-server did not say which data folder it uses"
grep -q "^num of lights: " "$work/server.log" || fail "the level's lines are missing"

"$build/maze" 127.0.0.1 > "$work/client.log" 2>&1 &
client=$!
pids+=($client)
timeout 20 xdotool search --sync --onlyvisible --name '^maze$' > /dev/null || fail "the real client opened no window"

before=$(cpu_ticks $server)
for i in 1 2; do
    timeout 30 "$build/maze-bot" 127.0.0.1 seconds=4 mode=random seed=$i > "$work/bot$i.out" 2> "$work/bot$i.log" &
    bots[$i]=$!
done
for i in 1 2; do wait ${bots[$i]} || fail "bot $i ended with status $?"; done
after=$(cpu_ticks $server)
share=$(echo "scale=3; ($after - $before) / 100 / 4" | bc)
kill -0 $client 2>/dev/null || fail "the real client ended"
for i in 1 2; do
    echo "bot $i: $(cat "$work/bot$i.out")"
    get() { field "$work/bot$i.out" "$1"; }
    awk -v r="$(get rate_hz)" 'BEGIN { exit !(r >= 60 && r <= 105) }' || fail "bot $i received $(get rate_hz) state bodies/s, not about 100 (one per pass)"
    # The real client, the other bot and itself; never the host's fighter 0.
    [ "$(get fighters_seen)" = 3 ] || fail "bot $i saw $(get fighters_seen) fighters in play, not 3"
    [ "$(get latency_samples)" -ge 1 ] || fail "bot $i saw too few of its keys take effect"
done
echo "maze-server CPU with three clients: $share of a core"
awk -v s="$share" 'BEGIN { exit !(s < 0.5) }' || fail "maze-server used $share of a core"

kill -INT $server
wait $server; status=$?
[ $status = 0 ] || fail "SIGINT ended maze-server with status $status"
[ "$(tail -1 "$work/server.log")" = "Good-Bye" ] || fail "maze-server did not say Good-Bye"
echo "PASS: maze-server served a real client and two bots at the game's pace and ended on SIGINT"
