#!/bin/bash
# A long game over a poor network: maze-server with eight maze-bot clients in
# random mode, each through maze-relay at 10% loss, 1% duplication,
# 40 +- 20 ms delay and reordering, for MINUTES minutes (default 30), in a
# network namespace of its own. Samples the server's resident memory every
# minute and the bots' figures (bodies per second, the server's pass rate)
# at the same pace; at the end prints the memory at the start and the end,
# the pass rate over the run, and each bot's closing figures. Works with any
# build folder, also a sanitizer build (reports land in the server's log).
# Exit status 0 when every bot played to the end within the rules of play
# through the relay and the server is still up.
# Usage: tools/soak_net.sh <build-dir> [minutes=30]
set -u
[ $# -ge 1 ] || { echo "usage: tools/soak_net.sh <build-dir> [minutes=30]" >&2; exit 2; }
lib=$(cd "$(dirname "$0")/../tests/e2e/lib" && pwd)
source "$lib/net_env.bash"
source "$lib/relay.bash"
fail() { echo "FAIL: $*"; tail -20 "$work/server.log"; exit 1; }
minutes=${2:-30}
seconds=$((minutes * 60))

"$build/maze-server" > "$work/server.log" 2>&1 &
server=$!
pids+=($server)
for _ in $(seq 100); do grep -q "waiting on port 9899" "$work/server.log" && break; sleep 0.1; done
grep -q "waiting on port 9899" "$work/server.log" || fail "maze-server did not start"
start_relay relay $((seconds + 30)) listen=9898 server=9899 $impair seed=21
sleep 1
rss_start=$(rss_kb $server)
for i in $(seq 8); do
    timeout $((seconds + 60)) "$build/maze-bot" 127.0.0.1 seconds=$seconds mode=random seed=$i port=9898 report=60 \
        > "$work/bot$i.out" 2> "$work/bot$i.err" &
    bots+=($!)
done
pids+=("${bots[@]}")
echo "minute rss_kb"
for m in $(seq "$minutes"); do
    sleep 60
    kill -0 $server 2>/dev/null || fail "maze-server ended in minute $m"
    echo "$m $(rss_kb $server) $(grep '^report' "$work/bot1.err" | tail -1)"
done
status=0
for i in $(seq 8); do wait "${bots[$((i - 1))]}" || { echo "bot $i ended with status $?"; status=1; }; done
rss_end=$(rss_kb $server)
kill -0 $server 2>/dev/null || fail "maze-server ended"
for i in $(seq 8); do echo "bot $i: $(cat "$work/bot$i.out")"; done
awk '/^report/ { for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
                 n++; s += v["pass_hz"]; if (min == "" || v["pass_hz"] < min) min = v["pass_hz"]
                 if (v["pass_hz"] > max) max = v["pass_hz"] }
     END { printf "server pass rate per minute, over all bots: mean %.1f/s, lowest %.1f/s, highest %.1f/s (%d samples)\n", s / n, min, max, n }' \
    "$work"/bot?.err
echo "maze-server resident memory: $rss_start kB at the start, $rss_end kB at the end"
summarise 40 "$work"/bot?.out || status=1
grep -q "ERROR: AddressSanitizer\|runtime error" "$work/server.log" && { echo "sanitizer report in the server's log"; status=1; }
kill $server
wait $server || { echo "maze-server ended with status $? on SIGTERM"; status=1; }
[ $status = 0 ] && echo "PASS: $minutes minutes with eight bots through the relay" || echo "FAIL"
exit $status
