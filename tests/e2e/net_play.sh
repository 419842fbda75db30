#!/bin/bash
# Plays over UDP on 127.0.0.1: the real server under Xvfb, a real client that
# joins it under its own Xvfb, and three maze-bot clients whose fighters move
# and fire. Each bot must receive a steady stream of state, see the others in
# play and moving, see its own keys take effect, and the real client's p key
# must print its fighter's position on the server.
# Usage: net_play.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; echo "--- server"; cat "$work/server.log"; echo "--- client"; cat "$work/client.log" 2>/dev/null; exit 1; }

start_server

# The real client: join, wait for its window, then tap p (press, release).
export BUILD="$build" WORK="$work"
setsid xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$BUILD/maze" 127.0.0.1 > "$WORK/client.log" 2>&1 &
    pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^maze$" | head -1)
    [ -n "$wid" ] || { echo "no client window" >> "$WORK/client.log"; kill $pid; exit 1; }
    xdotool mousemove --window "$wid" 320 240
    sleep 1
    xdotool keydown --window "$wid" p; sleep 0.2; xdotool keyup --window "$wid" p
    sleep 30 & wait
' &
pids+=($!)

for i in 1 2 3; do
    timeout 30 "$build/maze-bot" 127.0.0.1 seconds=8 mode=random seed=$i > "$work/bot$i.out" 2> "$work/bot$i.err" &
    pids+=($!)
done
for i in 1 2 3; do wait "${pids[$((i + 1))]}" || fail "bot $i ended with status $? ($(cat "$work/bot$i.err"))"; done

grep -qx "Connect server" "$work/client.log" || fail "the client did not print Connect server"
grep -q "^Position: " "$work/server.log" || fail "the client's p printed no position on the server"
kill -0 "${pids[1]}" 2>/dev/null || fail "the real client ended"
kill -0 "${pids[0]}" 2>/dev/null || fail "the server ended"

for i in 1 2 3; do
    echo "bot $i: $(cat "$work/bot$i.out")"
    get() { field "$work/bot$i.out" "$1"; }
    awk -v r="$(get rate_hz)" 'BEGIN { exit !(r >= 20) }' || fail "bot $i receives under 20 state bodies per second"
    [ "$(get fighters_seen)" -ge 5 ] || fail "bot $i saw $(get fighters_seen) fighters in play, not server + client + 3 bots"
    [ "$(get latency_samples)" -ge 3 ] || fail "bot $i saw too few of its keys take effect"
    [ "$(get others_moved)" -ge 2 ] || fail "bot $i did not see the other bots move"
    [ "$(get bullets_max)" -ge 1 ] || fail "bot $i never saw a bullet"
done
echo "PASS: server, real client and three bots played together"
