#!/bin/bash
# A real LAN that loses packets: this script's namespace (maze-server on
# 10.77.0.1) and a second one of its own (the bots on 10.77.0.2), joined by
# a veth pair at MTU 1500, nftables in each dropping 10% of the IP packets
# that arrive (fragments included). Two maze-bots play on the one server at
# once for 15 s: one plain (6008-byte datagrams, five fragments each), one
# on our compact wire (one packet each). The compact one must receive at
# least 88 bodies a second, see its keys within 15 ms (median), apply at
# least 95% of what it receives and never see a stuck key; the plain one
# must still play. Prints both bots' lines and the veth's byte counters.
# Usage: lossy_lan.sh <build-dir> <source-dir>
set -u
lib=$(cd "$(dirname "$0")/lib" && pwd)
source "$lib/net_env.bash"
fail() {
    echo "FAIL: $*"
    for f in server plain compact; do [ -f "$work/$f.log" ] && { echo "--- $f"; tail -15 "$work/$f.log"; }; done
    exit 1
}

[ -n "${MAZE_NETNS:-}" ] || { echo "SKIP: no private network namespace"; exit 0; }
command -v nft > /dev/null || { echo "SKIP: no nft (the nftables package)"; exit 0; }
far=maze_lossy_$$
ip netns add "$far" || { echo "SKIP: cannot make a network namespace"; exit 0; }
trap 'cleanup; ip netns del "$far" 2>/dev/null' EXIT
ip link add mz_near mtu 1500 type veth peer name mz_far mtu 1500 netns "$far" || fail "no veth pair"
ip addr add 10.77.0.1/24 dev mz_near
ip link set mz_near up
ip netns exec "$far" ip addr add 10.77.0.2/24 dev mz_far
ip netns exec "$far" ip link set mz_far up
ip netns exec "$far" ip link set lo up
lossy() {  # runs nft's commands in this namespace ("") or the far one
    local in=(); [ -n "$1" ] && in=(ip netns exec "$1")
    "${in[@]}" nft add table inet lossy &&
        "${in[@]}" nft add chain inet lossy in '{ type filter hook prerouting priority -300; }' &&
        "${in[@]}" nft add rule inet lossy in numgen random mod 10 == 0 drop
}
lossy "" && lossy "$far" || { echo "SKIP: nftables cannot drop packets here"; exit 0; }

seconds=15
setsid "$build/maze-server" > "$work/server.log" 2>&1 &
pids+=($!)
wait_server server.log

rx_before=$(ip netns exec "$far" cat /sys/class/net/mz_far/statistics/rx_bytes)
ip netns exec "$far" "$build/maze-bot" 10.77.0.1 --seconds $seconds --plain > "$work/plain.out" 2> "$work/plain.log" &
plain=$!
ip netns exec "$far" "$build/maze-bot" 10.77.0.1 --seconds $seconds --seed 2 > "$work/compact.out" 2> "$work/compact.log" &
compact=$!
pids+=($plain $compact)
wait $plain || fail "the plain bot ended with status $?"
wait $compact || fail "the compact bot ended with status $?"
rx_after=$(ip netns exec "$far" cat /sys/class/net/mz_far/statistics/rx_bytes)
echo "plain bot:   $(cat "$work/plain.out")"
echo "compact bot: $(cat "$work/compact.out")"
echo "veth bytes to the bots' side: $(((rx_after - rx_before) / seconds)) a second (both bots)"

above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }
c=$work/compact.out
p=$work/plain.out
check "the compact bot was granted the compact wire" [ "$(field "$c" compact)" = 1 ]
check "the plain bot speaks plain" [ "$(field "$p" compact)" = 0 ]
check "compact: at least 88 bodies a second ($(field "$c" rate_hz))" above "$(field "$c" rate_hz)" 88
check "compact: key-to-state median at most 15 ms ($(field "$c" latency_ms_median))" \
    above 15 "$(field "$c" latency_ms_median)"
check "compact: applied share at least 0.95 ($(field "$c" applied_share))" above "$(field "$c" applied_share)" 0.95
check "compact: no stuck key ($(field "$c" stuck_ms_max) ms)" above 500 "$(field "$c" stuck_ms_max)"
check "compact: at most 30 KB a second ($(field "$c" bytes_per_s))" above 30000 "$(field "$c" bytes_per_s)"
check "plain: still plays ($(field "$p" rate_hz) bodies a second)" above "$(field "$p" rate_hz)" 20
check "plain: 6008-byte bodies ($(field "$p" bytes_per_s) bytes a second)" \
    above "$(field "$p" bytes_per_s)" "$(awk -v r="$(field "$p" rate_hz)" 'BEGIN { print r * 6000 }')"
[ "$failures" = 0 ] || fail "$failures checks failed"
echo "PASS: plain and compact bots on a LAN losing 10% of its packets"
