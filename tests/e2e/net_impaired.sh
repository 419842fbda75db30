#!/bin/bash
# Play through maze-relay at 10% loss, 1% duplication, 40 +- 20 ms delay and
# reordering both ways: maze-server (no GL, GLUT or SDL linked, started from
# a folder without data) with seven bots
# and a real client under Xvfb. The bots keep playing (state flows, keys act,
# released keys stop within half a second, no tap fires twice, others move),
# the server's memory stays put, the real client's p key, every datagram of
# which the relay doubles, prints its position on the server exactly once,
# with --verbose the server prints a "fire!!!!" line for every shot the bots
# saw, and SIGTERM ends the server with status 0. The figures are printed.
# Usage: net_impaired.sh <build-dir> <source-dir>
set -u
lib=$(cd "$(dirname "$0")/lib" && pwd)
source "$lib/net_env.bash"
source "$lib/relay.bash"
fail() { echo "FAIL: $*"; cat "$work"/relay*.out "$work"/relay*.err; echo "--- server"; tail -20 "$work/server.log"; echo "--- client"; tail -20 "$work/client.log" 2>/dev/null; exit 1; }
seconds=15

libs=$(ldd "$build/maze-server" | grep -Ei 'libGL|glut|SDL' || true)
[ -z "$libs" ] || fail "maze-server links $libs"

# Under AddressSanitizer, freed blocks wait in its quarantine (up to 256 MB)
# and count as resident: a small one keeps the memory check about what the
# server holds. Other builds ignore the variable.
(cd "$work" && ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=1" exec "$build/maze-server" --verbose) \
    > "$work/server.log" 2>&1 &
server=$!
pids+=($server)
wait_server server.log

# The real client lives in a network namespace of its own, where the relay
# listens on port 9899: the game always talks to that port.
unshare -n bash -c 'ip link set lo up && exec sleep 120' &
holder=$!
pids+=($holder)
sleep 0.3
start_relay relay-bots $((seconds + 8)) listen=9898 server=9899 $impair seed=11
start_relay relay-client $((seconds + 8)) listen=9899 server=9899 loss=0.1 dup=1 delay=40 jitter=20 reorder=0.01 \
    seed=12 clients=1 netns=/proc/$holder/ns/net
start_bots 1 7 $seconds 9898
# Measured once the bots are seated: what each seat holds is no growth.
sleep 2
rss_start=$(rss_kb $server)

export BUILD="$build" WORK="$work"
nsenter --net=/proc/$holder/ns/net setsid xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$BUILD/maze" 127.0.0.1 > "$WORK/client.log" 2>&1 &
    pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^maze$" | head -1)
    [ -n "$wid" ] || { echo "no client window" >> "$WORK/client.log"; kill $pid; exit 1; }
    xdotool mousemove --window "$wid" 320 240
    sleep 2
    xdotool keydown --window "$wid" p; sleep 0.2; xdotool keyup --window "$wid" p
    sleep 60 & wait
' &
pids+=($!)

for i in $(seq 7); do wait "${bots[$((i - 1))]}" || fail "bot $i ended with status $? ($(cat "$work/bot$i.err"))"; done
rss_end=$(rss_kb $server)
kill -0 $server 2>/dev/null || fail "maze-server ended"
for i in $(seq 7); do echo "bot $i: $(cat "$work/bot$i.out")"; done
echo "maze-server resident memory: $rss_start kB at the start, $rss_end kB at the end"
summarise 40 "$work"/bot?.out || fail "a bot broke a rule of play through the relay"
[ $((rss_end - rss_start)) -lt 8192 ] || fail "maze-server grew by $((rss_end - rss_start)) kB"
grep -qx "Connect server" "$work/client.log" || fail "the real client did not join through the relay"
positions=$(grep -c "^Position: " "$work/server.log")
[ "$positions" = 1 ] || fail "one tap of p, every datagram doubled, printed $positions positions"
shots=$(cat "$work"/bot?.out | tr ' ' '\n' | sed -n 's/^shots=//p' | awk '{ n += $1 } END { print n + 0 }')
fires=$(grep -c '^fire!!!! $' "$work/server.log")
[ "$fires" -ge "$shots" ] && [ "$fires" -gt 0 ] || fail "with --verbose $fires fire lines for $shots shots the bots saw"
wait "${pids[2]}" "${pids[3]}"
check_relay "$work/relay-bots.out"
echo "relay of the real client: $(cat "$work/relay-client.out")"
[ "$(field "$work/relay-client.out" up_duplicated)" -gt 0 ] || fail "the real client's datagrams were not doubled"
kill $server
wait $server
status=$?
[ $status = 0 ] || fail "maze-server ended with status $status on SIGTERM"

echo "PASS: play through the impaired relay against maze-server"
