#!/bin/bash
# A long game on a level of this test's own: a corridor where the prey meets
# two maze-bots at once (alice and bob, holding fire towards each other),
# under maze-server --respawn 2. The server's event lines name who joined,
# who destroyed whom, who respawned and the round's winner, and a new round
# starts after the last prey; each bot
# sees the other's name and comes back into play; maze-sim on the same level
# plays rounds after rounds by the same rules. The terminals keep to the
# lines a host needs: without --verbose the server prints none of the rules'
# chatter (shots, hits, the prey's moves) and ends with Good-Bye, and each
# bot prints only its line of figures. Bots that end without a word lose
# their seats 5 to 6.5 s later.
# Usage: long_game.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; echo "--- server"; tail -30 "$work/server.log"; exit 1; }

# Columns 1..10 of row 1 open; fighter starts at columns 1 and 2 facing
# east and 10 facing west; the prey in between.
cat > "$work/corridor.map" <<'MAP'
12 3
8.0 6.0 4.5
3
1 1 1
1 2 1
1 10 3
1
1 6 3
0 0
250 10
1 1 1 1 1 1 1 1 1 1 1 1
1 0 0 0 0 0 0 0 0 0 0 1
1 1 1 1 1 1 1 1 1 1 1 1
0
MAP

"$build/maze-server" --map "$work/corridor.map" --respawn 2 > "$work/server.log" 2>&1 &
server=$!
pids+=($server)
for _ in $(seq 100); do grep -q " started " "$work/server.log" && break; sleep 0.1; done
grep -q " started " "$work/server.log" || fail "maze-server did not start"
for who in alice bob; do
    timeout 120 "$build/maze-bot" 127.0.0.1 seconds=32 mode=fire name=$who map="$work/corridor.map" \
        > "$work/$who.out" 2> "$work/$who.err" &
    pids+=($!)
done
# The bots end without a word, as a killed one does: the server frees their
# seats 5 to 6.5 s after the later one's last datagram, sent as it prints its
# line of figures (its exit, slow in a sanitized build, comes after).
for _ in $(seq 2400); do
    [ -s "$work/alice.out" ] && [ -s "$work/bob.out" ] && break
    kill -0 "${pids[1]}" 2>/dev/null || kill -0 "${pids[2]}" 2>/dev/null || break
    sleep 0.05
done
t0=$(date +%s.%N)
left() { grep -c 'player [12] left (not answering)' "$work/server.log"; }
for _ in $(seq 150); do [ "$(left)" = 2 ] && break; sleep 0.05; done
took=$(echo "$(date +%s.%N) - $t0" | bc)
[ "$(left)" = 2 ] || took=never
check "the silent bots' seats are freed 5 to 6.5 s after they end ($took s)" \
    awk -v t="$took" 'BEGIN { exit !(t != "never" && t >= 4.9 && t <= 6.5) }'
wait "${pids[@]:1}"
kill -INT $server
wait $server
check "maze-server ends with status 0 on SIGINT" test $? = 0
log=$work/server.log
chatter='fire!!!!|not clear|Maneuver mode|shot!!|DEAD|health|hit ground|hit ceiling|handle: |num of lights|out of bullets'
check "without --verbose no chatter on the server's terminal" bash -c "! grep -Eq '$chatter' '$log'"
check "the server says Good-Bye last" test "$(tail -1 "$log")" = Good-Bye
echo "--- the server's events"
grep -E " (joined|destroyed|respawned|prey-destroyed|round-over|round-started|left) " "$log"

check "alice joined by name" grep -qE "joined name=alice fighter=[12] " "$log"
check "bob joined by name" grep -qE "joined name=bob fighter=[12] " "$log"
check "fighters were destroyed, by name" grep -qE "destroyed name=(alice|bob) fighter=[12] by=(alice|bob|\"a prey\")$" "$log"
# The respawn delay and the round's 10 s pause are timed in the rules' own
# test (test_long_game.cpp); here the real server's event lines carry them.
check "a destroyed fighter respawned" grep -qE " respawned name=(alice|bob) " "$log"
check "a round ended on the last prey and a new one started" \
    awk '$2 == "round-over" { o = 1 } $2 == "round-started" && o { f = 1 } END { exit !f }' "$log"
check "the round's winner is named" grep -qE "round-over name=(alice|bob) fighter=[12] score=[0-9]+$" "$log"
for who in alice bob; do
    echo "$who: $(cat "$work/$who.out")"
    check "$who saw the other's name" test "$(field "$work/$who.out" names_seen)" = 1
    check "$who came back into play" test "$(field "$work/$who.out" respawns)" -ge 1
    check "$who printed its line of figures only" test "$(wc -l < "$work/$who.out")" = 1
done

# maze-sim on the same level (it reads korvath.map where it runs): fighters
# firing at the prey ahead end one round after another.
mkdir "$work/sim" && cp "$work/corridor.map" "$work/sim/korvath.map" && cp PreyPoses.dat "$work/sim/"
(cd "$work/sim" && "$build/maze-sim" --quiet --steps 6000 --respawn 2) > "$work/sim.out"
echo "maze-sim: $(cat "$work/sim.out")"
check "maze-sim plays rounds after rounds" test "$(field "$work/sim.out" rounds)" -ge 5

[ $failures = 0 ] || fail "$failures check(s) failed"
echo "PASS"
