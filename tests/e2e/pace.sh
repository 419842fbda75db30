#!/bin/bash
# The pace of the server's idle pass does not depend on its window: a
# maze-bot measures the server's pass rate with the window visible, fully
# covered by a client's window, and unmapped; the three agree within 20%,
# none passes 100 a second, and the server idles below half a core. The
# client's window opens where it does not hide the server's. SIGTERM ends
# the server and SIGINT the client with "Good-Bye" and status 0.
# Usage: pace.sh <build-dir> <source-dir>
set -u
if [ -z "${MAZE_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec env MAZE_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
# One display for the server and the client, alive as long as this script.
if [ -z "${MAZE_PACE_INNER:-}" ]; then
    exec env MAZE_PACE_INNER=1 timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; echo "--- server"; tail -20 "$work/server.log"; echo "--- client"; tail -20 "$work/client.log" 2>/dev/null; exit 1; }
seconds=4

# CPU time of a process so far, in clock ticks (user + system).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# The server's pass rate as a bot measures it over $seconds s (results in
# $work/$1.out): one state body per pass, none lost on loopback.
measure() {
    timeout 30 "$build/maze-bot" 127.0.0.1 $seconds > "$work/$1.out" 2> "$work/$1.err" || fail "bot ($1) ended with status $? ($(cat "$work/$1.err"))"
    echo "$1: $(cat "$work/$1.out")" >&2
    [ "$(field "$work/$1.out" dropped_socket)" = 0 ] || fail "the bot's socket dropped state bodies ($1)"
    field "$work/$1.out" rate_hz
}
maze_windows() { xdotool search --onlyvisible --name '^maze$' 2>/dev/null | sort; }

"$build/maze" > "$work/server.log" 2>&1 &
server=$!
pids+=($server)
swid=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
[ -n "$swid" ] || fail "no server window"
for _ in $(seq 50); do grep -q "waiting on port 9899" "$work/server.log" && break; sleep 0.1; done
sleep 1
visible=$(measure visible)

"$build/maze" 127.0.0.1 > "$work/client.log" 2>&1 &
client=$!
pids+=($client)
cwid=
for _ in $(seq 100); do
    cwid=$(maze_windows | grep -vx "$swid" | head -1)
    [ -n "$cwid" ] && break
    sleep 0.1
done
[ -n "$cwid" ] || fail "no client window"
where=$(xwininfo -id "$cwid" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x","y}')
echo "client window at $where, server window at 0,0"
[ "$where" != "0,0" ] || fail "the client's window opened exactly over the server's"

# The client's window over the server's, exactly: nothing of it can be seen.
xdotool windowmove "$cwid" 0 0
sleep 1
covered=$(measure covered)

xdotool windowunmap "$swid"
sleep 1
unmapped=$(measure unmapped)

# Nobody plays: the server only steps the world and feeds one idle client.
before=$(cpu_ticks $server)
sleep 3
after=$(cpu_ticks $server)
share=$(echo "scale=3; ($after - $before) / 100 / 3" | bc)
echo "pass rates: visible $visible/s, covered $covered/s, unmapped $unmapped/s; server CPU while idle and unmapped: $share of a core"

for r in "$covered" "$unmapped"; do
    awk -v r="$r" -v v="$visible" 'BEGIN { exit !(r >= 0.8 * v && r <= 1.2 * v) }' ||
        fail "pass rate $r/s is not within 20% of the visible window's $visible/s"
done
for r in "$visible" "$covered" "$unmapped"; do
    awk -v r="$r" 'BEGIN { exit !(r >= 40 && r <= 105) }' || fail "pass rate $r/s outside 40..105"
done
awk -v s="$share" 'BEGIN { exit !(s < 0.5) }' || fail "the idle server uses $share of a core"

kill -TERM $server
wait $server; status=$?
[ $status = 0 ] || fail "SIGTERM ended the server with status $status"
[ "$(tail -1 "$work/server.log")" = "Good-Bye" ] || fail "the server did not say Good-Bye on SIGTERM"
kill -INT $client
wait $client; status=$?
[ $status = 0 ] || fail "SIGINT ended the client with status $status"
[ "$(tail -1 "$work/client.log")" = "Good-Bye" ] || fail "the client did not say Good-Bye on SIGINT"
echo "PASS: the pace holds whatever the window; SIGTERM and SIGINT end with Good-Bye"
