#!/bin/bash
# Finding servers: a LAN of two namespaces of this test's own joined by a
# veth pair (10.77.0.1 here, 10.77.0.2 there). With no server running,
# maze --find and maze --lan say so. With maze-server "alpha" on port 9899
# here, maze --lan joins it. Then "beta" on 9904 there too, and a maze-bot
# playing on beta across the LAN:
# maze --find lists both, once each, with names, levels and player counts
# (the choice between them is test_discovery.cpp's); maze-status --json
# gives beta's players (parsed here); a storm of status queries at beta gets
# at most 20 replies a second, none larger than its query, while the bot's
# measure of beta's pace stays near 100 passes a second; a port nobody
# serves gets "no answer" and status 1.
# Usage: find_servers.sh <build-dir> <source-dir>
set -u
lib=$(cd "$(dirname "$0")/lib" && pwd)
source "$lib/net_env.bash"
fail() {
    echo "FAIL: $*"
    for f in alpha beta bot find lan1; do [ -f "$work/$f.log" ] && { echo "--- $f"; tail -15 "$work/$f.log"; }; done
    exit 1
}

# This script runs in a namespace of its own (net_env.bash); the far side is
# a second one, named after this process so nothing else shares it.
[ -n "${MAZE_NETNS:-}" ] || { echo "SKIP: no private network namespace"; exit 0; }
far=maze_find_$$
ip netns add "$far" || { echo "SKIP: cannot make a network namespace"; exit 0; }
trap 'cleanup; ip netns del "$far" 2>/dev/null' EXIT
ip link add mz_near type veth peer name mz_far netns "$far" || fail "no veth pair"
ip addr add 10.77.0.1/24 broadcast 10.77.0.255 dev mz_near
ip link set mz_near up
ip netns exec "$far" ip addr add 10.77.0.2/24 broadcast 10.77.0.255 dev mz_far
ip netns exec "$far" ip link set mz_far up
ip netns exec "$far" ip link set lo up

# No server yet: the finder says so (status 0), --lan too (status 1).
"$build/maze" --find > "$work/find.log" 2>&1 || fail "maze --find with no server ended with status $?"
[ "$(cat "$work/find.log")" = "no server answered" ] || fail "maze --find with no server said: $(cat "$work/find.log")"
"$build/maze" --lan < /dev/null > "$work/lan.log" 2>&1
status=$?
[ $status = 1 ] && grep -q "no server answered" "$work/lan.log" || fail "maze --lan with no server: status $status, $(cat "$work/lan.log")"

wait_line() {  # file, pattern
    for _ in $(seq 100); do grep -q "$2" "$1" && return 0; sleep 0.1; done
    return 1
}
setsid "$build/maze-server" --port 9899 --server-name alpha > "$work/alpha.log" 2>&1 &
alpha=$!
pids+=($alpha)
wait_line "$work/alpha.log" "waiting on port 9899" || fail "alpha did not start"
# With alpha the only server, maze --lan joins it: a windowed client that
# alpha's status then counts.
setsid xvfb-run -a -s "-screen 0 1024x768x24" "$build/maze" --lan < /dev/null > "$work/lan1.log" 2>&1 &
lan=$!
pids+=($lan)
wait_line "$work/lan1.log" "^Joining alpha ([0-9.]*:9899)$" || fail "maze --lan did not join alpha: $(cat "$work/lan1.log")"
joined=0
for _ in $(seq 50); do
    "$build/maze-status" --json 127.0.0.1 > "$work/alpha.json" 2>/dev/null &&
        grep -q '"player_count":1' "$work/alpha.json" && { joined=1; break; }
    sleep 0.2
done
[ $joined = 1 ] || fail "alpha never counted the client maze --lan started: $(cat "$work/alpha.json")"
kill -- "-$lan"

setsid ip netns exec "$far" "$build/maze-server" --port=9904 --server-name "beta" > "$work/beta.log" 2>&1 &
beta=$!
pids+=($beta)
wait_line "$work/beta.log" "waiting on port 9904" || fail "beta did not start"

"$build/maze-bot" 10.77.0.2 seconds=14 port=9904 mode=random seed=4 > "$work/bot.out" 2> "$work/bot.log" &
bot=$!
pids+=($bot)
sleep 1.5

# The finder: both servers, each once, within its second.
start=$(date +%s.%N)
"$build/maze" --find > "$work/find.log" 2>&1
status=$?
took=$(echo "$(date +%s.%N) - $start" | bc)
echo "maze --find (${took} s, status $status):"
cat "$work/find.log"
[ $status = 0 ] || fail "maze --find ended with status $status"
awk -v t="$took" 'BEGIN { exit !(t < 1.8) }' || fail "maze --find took $took s"
[ "$(wc -l < "$work/find.log")" = 2 ] || fail "maze --find did not list two servers, once each"
grep -Eq '^10\.77\.0\.2:9904 +beta +korvath\.map +1/[0-9]+ +[0-9]+ ms$' "$work/find.log" || fail "beta is not listed with its one player"
grep -Eq '^(127\.0\.0\.1|10\.77\.0\.1):9899 +alpha +korvath\.map +[01]/[0-9]+ +[0-9]+ ms$' "$work/find.log" || fail "alpha is not listed"

# Status as JSON, parsed.
"$build/maze-status" --json 10.77.0.2:9904 > "$work/status.json" 2> "$work/status.err" || fail "maze-status failed: $(cat "$work/status.err")"
echo "maze-status --json: $(cat "$work/status.json")"
python3 - "$work/status.json" <<'PY' || fail "maze-status --json is not beta's status"
import json, sys
s = json.load(open(sys.argv[1]))
assert s["name"] == "beta" and s["level"] == "korvath.map", s
assert s["player_count"] == 1 and len(s["players"]) == 1, s
p = s["players"][0]
assert p["fighter"] == 1 and p["name"] == "player 1" and p["deaths"] == 0, p
assert p["state"] in ("in play", "destroyed") and 0 <= p["ping_ms"] < 100, p
assert s["uptime_s"] >= 1 and s["round_time_s"] <= s["uptime_s"] + 1, s
assert "10.77.0.1" not in json.dumps(p), "a player's address was given away"
PY
"$build/maze-status" 127.0.0.1 > "$work/status.txt" 2>&1 || fail "maze-status 127.0.0.1 failed"
grep -q '^server  *alpha ' "$work/status.txt" || fail "maze-status does not name alpha: $(cat "$work/status.txt")"

# A storm of status queries at beta while the bot plays there.
python3 "$lib/query_storm.py" 10.77.0.2 9904 4 1000 > "$work/storm.out" || fail "the storm could not be sent"
echo "status storm at beta: $(cat "$work/storm.out")"
replies=$(field "$work/storm.out" replies)
[ "$replies" -ge 20 ] && [ "$replies" -le 100 ] || fail "beta answered $replies queries in 4.5 s, not 20 to 100"
[ "$(field "$work/storm.out" largest)" -le "$(field "$work/storm.out" query)" ] || fail "a reply was larger than its query"

# Nobody on this port.
start=$(date +%s.%N)
"$build/maze-status" 127.0.0.1:9950 > /dev/null 2> "$work/none.err"
status=$?
took=$(echo "$(date +%s.%N) - $start" | bc)
[ $status = 1 ] && grep -q "no answer from 127.0.0.1:9950" "$work/none.err" || fail "an unserved port gave status $status: $(cat "$work/none.err")"
awk -v t="$took" 'BEGIN { exit !(t < 4) }' || fail "maze-status took $took s to give up"

wait $bot || fail "the bot ended with status $?"
echo "bot on beta: $(cat "$work/bot.out")"
awk -v r="$(field "$work/bot.out" server_pass_hz)" 'BEGIN { exit !(r >= 95 && r <= 105) }' || fail "beta's pace fell under the storm"
kill -0 $alpha && kill -0 $beta || fail "a server ended"
echo "PASS"
