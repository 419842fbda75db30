#!/usr/bin/env bash
# lost_peer.sh BUILD_DIR [SOURCE_DIR] -- a peer that dies is seen to go.
#   - A maze-bot killed outright (kill -9) loses its place on maze-server
#     5 to 6.5 s later: the server prints "player 1 left (not answering)".
#   - A windowed client whose server is killed outright shows "Server not
#     answering (N s)" in yellow on its message line within seconds
#     (test-frames/e2e_server_silent.png, against e2e_server_alive.png),
#     plays on, and ends with "Server died" and status 0 about 20 s later;
#     its terminal carries none of the rules' chatter.
set -u
xvfb_screen=1024x768x24
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"
frames="$build/test-frames"
mkdir -p "$frames"

fail() { echo "FAIL: $*"; for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; tail -8 "$f"; done; exit 1; }

"$build/maze-server" > "$work/server.out" 2>&1 &
server=$!
pids+=($server)
wait_server server.out

"$build/maze-bot" 127.0.0.1 seconds=60 > "$work/bot.out" 2> "$work/bot.err" &
bot=$!
pids+=($bot)
for _ in $(seq 100); do grep -q 'joined' "$work/bot.err" && break; sleep 0.1; done
grep -q 'joined' "$work/bot.err" || fail "the bot did not join"
sleep 1.5
kill -9 $bot
t0=$(date +%s.%N)
for _ in $(seq 150); do grep -q 'player 1 left (not answering)' "$work/server.out" && break; sleep 0.05; done
took=$(echo "$(date +%s.%N) - $t0" | bc)
grep -q 'player 1 left (not answering)' "$work/server.out" || took=never
check "the killed bot's place is freed 5 to 6.5 s after ($took s)" \
    awk -v t="$took" 'BEGIN { exit !(t != "never" && t >= 4.9 && t <= 6.5) }'

SDL_AUDIODRIVER=dummy "$build/maze" 127.0.0.1 > "$work/client.out" 2>&1 &
client=$!
pids+=($client)
cw=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
[ -n "$cw" ] || fail "no client window"
for _ in $(seq 100); do grep -q '^Volume ' "$work/client.out" && break; sleep 0.1; done
# The start-up message has gone after 4 s.
sleep 5
import -window "$cw" "$frames/e2e_server_alive.png"
kill -9 $server
sleep 3.5
import -window "$cw" "$frames/e2e_server_silent.png"
alive=$(yellow_message "$frames/e2e_server_alive.png")
silent=$(yellow_message "$frames/e2e_server_silent.png")
check "the client shows its silent server ($silent yellow message pixels, $alive before)" \
    test "$silent" -ge $((alive + 150))
check "the client plays on meanwhile" kill -0 $client
for _ in $(seq 300); do kill -0 $client 2>/dev/null || break; sleep 0.1; done
wait $client; status=$?
check "the client ends with Server died and status 0 ($status)" \
    test "$status" = 0 -a "$(tail -1 "$work/client.out")" = "Server died"
chatter='fire!!!!|not clear|Maneuver mode|shot!!|health|handle: |warning: collision'
check "the client's terminal has no chatter" bash -c "! grep -Eq '$chatter' '$work/client.out'"
echo "--- the client's terminal:"
cat "$work/client.out"

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "lost_peer.sh: all checks passed"
