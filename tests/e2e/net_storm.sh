#!/bin/bash
# Malformed-datagram storm: 100 000 random, truncated and hostile datagrams
# (every kind, every length, counts of 255, huge key codes, q and Q) against
# the running real server and a running maze-bot client. Both must stay up;
# the client must keep receiving state, and a new client must still join.
# Usage: net_storm.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; echo "--- server"; tail -20 "$work/server.log"; exit 1; }

start_server

timeout 90 "$build/maze-bot" 127.0.0.1 seconds=40 seed=3 > "$work/bot.out" 2> "$work/bot.err" &
bot=$!
pids+=($bot)
for _ in $(seq 50); do grep -q "local port" "$work/bot.err" && break; sleep 0.1; done
port=$(sed -n 's/.*local port \([0-9]*\).*/\1/p' "$work/bot.err")
[ -n "$port" ] || fail "the bot did not join"

"$build/maze-storm" 127.0.0.1 9899 100000 1 || fail "storm against the server could not be sent"
"$build/maze-storm" 127.0.0.1 "$port" 100000 2 || fail "storm against the client could not be sent"
kill -0 "${pids[0]}" 2>/dev/null || fail "the server ended during the storm"
kill -0 $bot 2>/dev/null || fail "the client ended during the storm"
timeout 20 "$build/maze-bot" 127.0.0.1 seconds=3 seed=4 > "$work/late.out" 2> "$work/late.err" ||
    fail "a client could not join after the storm: $(cat "$work/late.err")"
echo "late client: $(cat "$work/late.out")"
wait $bot || fail "the stormed client ended with status $?"
echo "stormed client: $(cat "$work/bot.out")"
rate=$(field "$work/bot.out" rate_hz)
awk -v r="$rate" 'BEGIN { exit !(r >= 20) }' || fail "the stormed client received $rate bodies/s"
kill -0 "${pids[0]}" 2>/dev/null || fail "the server ended"
echo "PASS: server and client survived 2 x 100000 hostile datagrams"
