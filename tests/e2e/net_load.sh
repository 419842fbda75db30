#!/bin/bash
# Load, refusal and hostile datagrams: eight maze-bot clients against the real
# server under Xvfb until the storms are over (their figures are printed: the
# measurements), a
# ninth client that is refused at once, a client whose server never answers,
# which ends with status -1 after its eight join attempts, and 2 x 100 000
# datagrams of every hostile shape and length against the server and bot 1,
# and 100 000 more at bot 2 that claim to come from the server itself
# (127.0.0.1:9899, through a raw socket: root only): the server and every bot
# stay up, every bot keeps receiving state and plays to its end, and the
# ninth is still refused at once.
# Usage: net_load.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; echo "--- server"; tail -20 "$work/server.log"; exit 1; }

# No server yet: the client gives up after 8 join waits of about 1 s each.
start=$(date +%s.%N)
timeout 30 "$build/maze" 127.0.0.1 > "$work/lonely.log" 2>&1
status=$?
took=$(echo "$(date +%s.%N) - $start" | bc)
echo "unanswered client: status $status after ${took} s: $(tr '\n' '|' < "$work/lonely.log")"
[ $status = 255 ] || fail "an unanswered client ended with status $status, not -1"
[ "$(cat "$work/lonely.log")" = "Connect server" ] || fail "an unanswered client printed more than Connect server"
awk -v t="$took" 'BEGIN { exit !(t >= 7.9 && t < 12) }' || fail "an unanswered client gave up after $took s, not 8 attempts of 1 s"

start_server

bots=()
for i in 1 2 3 4 5 6 7 8; do
    timeout 400 "$build/maze-bot" 127.0.0.1 seconds=300 mode=random seed=$i > "$work/bot$i.out" 2> "$work/bot$i.err" &
    bots+=($!)
done
pids+=("${bots[@]}")
sleep 3
port=$(sed -n 's/.*local port \([0-9]*\).*/\1/p' "$work/bot1.err")
[ -n "$port" ] || fail "bot 1 did not say its port"
port2=$(sed -n 's/.*local port \([0-9]*\).*/\1/p' "$work/bot2.err")
[ -n "$port2" ] || fail "bot 2 did not say its port"
storms_start=$(date +%s.%N)
# The three storms run side by side (each takes about 2 s alone here; a busy
# or sanitized build sends many times slower); the bots play on until they
# are told to stop once the ninth client has been tried, so a slow storm
# cannot outlast them.
"$build/maze-storm" 127.0.0.1 "$port2" 100000 3 from=127.0.0.1:9899 > "$work/spoof.out" 2> "$work/spoof.err" &
spoof=$!
"$build/maze-storm" 127.0.0.1 9899 100000 1 > "$work/storm_server.out" 2>&1 &
storm_server=$!
"$build/maze-storm" 127.0.0.1 "$port" 100000 2 > "$work/storm_bot.out" 2>&1 &
storm_bot=$!
pids+=($spoof $storm_server $storm_bot)
wait $storm_server || fail "storm against the server could not be sent: $(cat "$work/storm_server.out")"
wait $storm_bot || fail "storm against bot 1 could not be sent: $(cat "$work/storm_bot.out")"
wait $spoof
status=$?
if [ $status = 1 ] && grep -q "needs root" "$work/spoof.err"; then
    echo "NOTE: no forged storm: $(cat "$work/spoof.err")"
else
    [ $status = 0 ] || fail "forged storm against bot 2 ended with status $status: $(cat "$work/spoof.err")"
    echo "forged storm at bot 2: $(cat "$work/spoof.out")"
fi
storm_seconds=$(echo "$(date +%s.%N) - $storms_start" | bc)
echo "storms took $storm_seconds s"
for i in "${!bots[@]}"; do
    kill -0 "${bots[$i]}" 2>/dev/null || fail "bot $((i + 1)) ended before the ninth client could be refused"
done
start=$(date +%s.%N)
timeout 20 "$build/maze-bot" 127.0.0.1 seconds=5 > "$work/ninth.out" 2> "$work/ninth.err"
status=$?
took=$(echo "$(date +%s.%N) - $start" | bc)
echo "ninth client: status $status after ${took} s: $(cat "$work/ninth.err")"
[ $status = 255 ] || fail "the ninth client ended with status $status, not -1"
grep -q "server is full" "$work/ninth.err" || fail "the ninth client was not told the server is full"
awk -v t="$took" 'BEGIN { exit !(t < 1.5) }' || fail "the ninth client took $took s to learn it was refused"

# Ctrl-C ends each bot's play; it still prints its figures.
for i in "${!bots[@]}"; do kill -INT "${bots[$i]}" 2>/dev/null; done
for i in "${!bots[@]}"; do wait "${bots[$i]}" || fail "bot $((i + 1)) ended with status $?"; done
kill -0 "${pids[0]}" 2>/dev/null || fail "the server ended"
for i in 1 2 3 4 5 6 7 8; do
    echo "bot $i: $(cat "$work/bot$i.out")"
    awk -v r="$(field "$work/bot$i.out" rate_hz)" 'BEGIN { exit !(r >= 20) }' || fail "bot $i received under 20 state bodies per second"
    # Its figures line, after playing through the storms: not "Server died".
    awk -v t="$(field "$work/bot$i.out" seconds)" -v s="$storm_seconds" 'BEGIN { exit !(t >= s) }' ||
        fail "bot $i did not play through the storms ($storm_seconds s)"
done
echo "PASS: eight clients served through a storm (one of it forged), the ninth refused at once, an unanswered client ended with -1"
