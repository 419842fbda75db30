#!/bin/bash
# Several servers on one machine, as an operator runs them:
#   - two maze-servers on ports 9899 and 9905 with different levels, names
#     and seats; the windowed game and bots join each by HOST:PORT and
#     play on the right one;
#   - a bot with the other level is refused and names both levels; one seat
#     more than --max-players is told the server is full;
#   - each server's standard output is its event log, one event a line:
#     started, joined, join-refused, error, and left and stopped when it
#     stops; SIGHUP harms nothing;
#   - a player whose server dies outright plays on, then ends with "Server
#     died" and status 0, its terminal free of the rules' chatter;
#   - a missing or damaged level and a busy port end the program with one
#     clear line and status 1 (bad command lines: test_cli.cpp, on the
#     built programs).
# Usage: host_levels.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -8 "$f"; done; exit 1; }
# ISO 8601 UTC time, then the event.
event() { grep -E "^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z $2( |$)" "$work/$1.log"; }
wait_started() {
    for _ in $(seq 100); do event "$1" started > /dev/null && return 0; sleep 0.1; done
    fail "$1 did not start"
}

"$build/maze-server" > "$work/korvath.log" 2> "$work/korvath.err" &
pids+=($!)
korvath=$!
"$build/maze-server" --port 9905 --map=arena.map --server-name "Arena Two" --max-players 2 > "$work/arena.log" 2> "$work/arena.err" &
pids+=($!)
arena=$!
wait_started korvath
wait_started arena
event korvath started | grep -q " version=[0-9.]* name=[^ ]* level=korvath.map digest=[0-9a-f]\{16\} port=9899 max_players=8$" ||
    fail "the first server's started event: $(event korvath started)"
event arena started | grep -q ' name="Arena Two" level=arena.map digest=[0-9a-f]\{16\} port=9905 max_players=2$' ||
    fail "the second server's started event: $(event arena started)"

# SIGHUP (a closed terminal, a log rotation) ends neither.
kill -HUP $korvath $arena
sleep 0.3
kill -0 $korvath && kill -0 $arena || fail "SIGHUP ended a server"

# A player's windowed game joins the second by HOST:PORT.
setsid env SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1024x768x24" "$build/maze" --map arena.map 127.0.0.1:9905 \
    > "$work/player.log" 2>&1 &
player=$!
pids+=($player)
for _ in $(seq 300); do event arena joined > /dev/null && break; sleep 0.1; done
event arena joined | grep -q 'name="player 1" fighter=1 address=127.0.0.1:[0-9]*$' || fail "the windowed game did not join the second server"

# A bot on each, by HOST:PORT and by the old port= word.
"$build/maze-bot" 127.0.0.1:9905 4 --map arena.map > "$work/bot_arena.out" 2> "$work/bot_arena.log" &
bot_arena=$!
"$build/maze-bot" 127.0.0.1 seconds=4 port=9899 > "$work/bot_korvath.out" 2> "$work/bot_korvath.log" &
bot_korvath=$!
sleep 1
# The arena's two seats are taken: one more is refused as full.
"$build/maze-bot" 127.0.0.1:9905 1 map=arena.map > /dev/null 2> "$work/full.log"
status=$?
[ $status = 255 ] || fail "a bot beyond --max-players ended with status $status, not -1"
grep -q "the server is full" "$work/full.log" || fail "the bot beyond the seats was not told the server is full"
# The level of the other server: refused, both levels named.
"$build/maze-bot" 127.0.0.1:9905 1 > /dev/null 2> "$work/other_level.log"
status=$?
[ $status = 255 ] || fail "a bot with another level ended with status $status, not -1"
grep -q '^maze: the server plays "arena.map" (digest [0-9a-f]\{16\}), this client has "korvath.map" (digest [0-9a-f]\{16\})' \
    "$work/other_level.log" || fail "the refused bot does not name both levels"
wait $bot_arena || fail "the arena's bot ended with status $?"
wait $bot_korvath || fail "the first server's bot ended with status $?"
for b in arena korvath; do
    rate=$(field "$work/bot_$b.out" rate_hz)
    awk -v r="$rate" 'BEGIN { exit !(r > 50) }' || fail "the bot on $b received $rate bodies a second"
done
event arena joined | grep -q 'name="player 2" fighter=2 address=127.0.0.1:[0-9]*$' || fail "no joined event for the arena's bot"
[ "$(event arena joined | wc -l)" = 2 ] || fail "the arena did not seat exactly its two players"
grep -q "the server plays\|Server died\|ERROR" "$work/player.log" && fail "the windowed game: $(cat "$work/player.log")"
[ "$(event korvath joined | wc -l)" = 1 ] || fail "the first server did not seat exactly its one bot"
event arena join-refused | grep -q " reason=full address=127.0.0.1:[0-9]*$" || fail "no join-refused event for the full server"
event arena join-refused | grep -q " reason=level address=127.0.0.1:[0-9]* level=korvath.map digest=[0-9a-f]\{16\}$" ||
    fail "no join-refused event for the other level"
event korvath join-refused > /dev/null && fail "the first server saw a join meant for the second"

# A busy port: one line, an error event, status 1.
timeout 10 "$build/maze-server" --port 9905 > "$work/busy.log" 2> "$work/busy.err"
status=$?
[ $status = 1 ] || fail "a server on a busy port ended with status $status, not 1"
grep -q "cannot open UDP port 9905" "$work/busy.err" || fail "the busy port is not named"
event busy error | grep -q 'what="cannot open UDP port 9905"' || fail "no error event for the busy port"

# The second server dies outright: its player plays on until "Server died".
kill -9 $arena
kill -TERM $korvath
wait $korvath; status=$?
[ $status = 0 ] || fail "the first server ended with status $status on SIGTERM"
# The bot sent no word when it ended: its seat was still held.
event korvath left | grep -q 'name="player 1" fighter=1 address=127.0.0.1:[0-9]* reason=server-stopped$' ||
    fail "no left event for the seat held when the server stopped"
event korvath stopped > /dev/null || fail "no stopped event"

# Levels that cannot be played: one line naming the file, status 1, for the
# server, the bot and the game alike.
printf '14 12\n8.0 6.0 q\n' > "$work/damaged.map"
for level in no-such.map "$work/damaged.map"; do
    for program in maze-server maze-bot maze; do
        args="--map $level"
        [ $program = maze-bot ] && args="127.0.0.1 1 map=$level"
        timeout 20 env -u DISPLAY "$build/$program" $args > "$work/level.out" 2> "$work/level.log"
        status=$?
        [ $status = 1 ] || fail "$program with $level ended with status $status, not 1"
        [ "$(wc -l < "$work/level.log")" = 1 ] || fail "$program with $level: more than one line: $(cat "$work/level.log")"
        grep -q "^$program: the level \".*$(basename "$level")\" \(cannot be used\|is damaged\)" "$work/level.log" ||
            fail "$program with $level: $(cat "$work/level.log")"
    done
done
kill -0 $player || fail "the player of the dead server did not play on"
for _ in $(seq 300); do kill -0 $player 2>/dev/null || break; sleep 0.1; done
wait $player; status=$?
[ $status = 0 ] && [ "$(tail -1 "$work/player.log")" = "Server died" ] ||
    fail "the player of the dead server ended with status $status: $(tail -3 "$work/player.log")"
grep -Eq 'fire!!!!|not clear|Maneuver mode|shot!!|health|handle: |warning: collision' "$work/player.log" &&
    fail "the rules' chatter on the player's terminal: $(cat "$work/player.log")"
echo "PASS: two servers on their own ports and levels, joined by HOST:PORT; refusals, events and bad input clear"
