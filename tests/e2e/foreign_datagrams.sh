#!/usr/bin/env bash
# foreign_datagrams.sh BUILD_DIR [SOURCE_DIR] -- a client trusts only its
# server. maze-server, a maze-bot and a real windowed client play; a stranger's
# socket sends both clients, at their own ports, well-formed state bodies:
#   (a) one claiming another number of fighters: neither client ends;
#   (b) one numbered 0x7FFFFFFF: the bot still applies (nearly) every body of
#       its server and refuses few as stale;
#   (c) 400 bodies of 255 explosions and 16 repeats each, under fresh ids and
#       with the pause flag: resident memory of both grows by less than
#       30 MB, and q pressed during a second such flood still ends the
#       windowed client within 1.5 s, with status 0 and "Good-Bye".
# The bot counts the strangers' datagrams it dropped (foreign=).
set -u
xvfb_screen=1024x768x24
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"

fail() { echo "FAIL: $*"; for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; tail -8 "$f"; done; exit 1; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
# The UDP port process $1 holds (its only socket).
port_of() { ss -uanpH | awk -v who="pid=$1," 'index($0, who) { n = split($4, a, ":"); print a[n]; exit }'; }
send() { python3 "$here/lib/foreign_sender.py" "$1" "$fighters" "$bport" "$cport" > "$work/send_$1.out" ||
             fail "the stranger could not send ($1)"; }

fighters=$(sed -n 3p korvath.map)
# A sanitized build keeps freed blocks in a quarantine of up to 256 MB, so
# its resident memory climbs with every frame drawn, flood or not; a small
# quarantine leaves the growth the flood itself causes.  A plain build
# ignores the variable.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=4"
"$build/maze-server" > "$work/server.out" 2>&1 &
pids+=($!)
wait_server server.out

# The windowed client's leak check at exit is play.sh's to make: under this
# small quarantine the sanitizer's own leak tracer has crashed at the exit
# of this client on the CI machine (it read a range at address 0x820 while
# scanning; no leak was reported, and it never happened here), which
# turned a sound exit into status 1. Errors of memory are still reported.
ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" SDL_AUDIODRIVER=dummy "$build/maze" 127.0.0.1 > "$work/client.out" 2>&1 &
client=$!
pids+=($client)
cw=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
[ -n "$cw" ] || fail "no client window"
for _ in $(seq 100); do grep -q '^Volume ' "$work/client.out" && break; sleep 0.1; done
# The bot starts once the window is up, so a slow start (a busy machine)
# cannot use up its seconds before the strangers send.
"$build/maze-bot" 127.0.0.1 seconds=120 mode=random > "$work/bot.out" 2> "$work/bot.err" &
bot=$!
pids+=($bot)
for _ in $(seq 100); do grep -q 'joined' "$work/bot.err" && break; sleep 0.1; done
bport=$(port_of $bot) cport=$(port_of $client)
[ -n "$bport" ] && [ -n "$cport" ] || fail "ports not found (bot '$bport', client '$cport')"
sleep 1
bot0=$(rss_kb $bot) client0=$(rss_kb $client)

send mismatch
sleep 0.5
check "(a) the windowed client plays on after a stranger's other level" kill -0 $client
send far
sleep 0.5
send flood
sleep 1
bot1=$(rss_kb $bot) client1=$(rss_kb $client)
echo "resident memory: bot ${bot0} -> ${bot1} kB, client ${client0} -> ${client1} kB"
grown_less() { [ -n "$1" ] && [ -n "$2" ] && [ $(($2 - $1)) -lt 30000 ]; }  # BEFORE AFTER (kB)
check "(c) the bot's memory grows by less than 30 MB" grown_less "$bot0" "$bot1"
check "(c) the client's memory grows by less than 30 MB" grown_less "$client0" "$client1"
check "the windowed client still plays" kill -0 $client

# q in the middle of a second flood.
send flood &
sleep 0.3
xdotool mousemove --window "$cw" 320 240
t0=$(date +%s.%N)
xdotool key --window "$cw" q
for _ in $(seq 600); do kill -0 $client 2>/dev/null || break; sleep 0.1; done
took=$(echo "$(date +%s.%N) - $t0" | bc)
kill -0 $client 2>/dev/null && kill $client
wait $client; status=$?
echo "q took $took s"
check "(c) q ends the client within 1.5 s ($took s)" awk -v t="$took" 'BEGIN { exit !(t < 1.5) }'
check "q ends the client with status 0 ($status)" test "$status" -eq 0
check "the client says Good-Bye" test "$(tail -1 "$work/client.out")" = Good-Bye
lacks() { ! grep -q "$1" "$2"; }
check "the client never took the stranger's level" lacks "the server's level has" "$work/client.out"

# The bot plays on until it is told to stop (a busy machine may be slow
# to get here), then prints its figures.
kill -INT $bot
wait $bot
echo "bot: $(cat "$work/bot.out")"
share=$(field "$work/bot.out" applied_share) foreign=$(field "$work/bot.out" foreign)
stale=$(field "$work/bot.out" stale) received=$(field "$work/bot.out" received)
# The applied share also counts bodies overtaken within one pass, which a
# busy machine makes common, so it is shown, not judged; stale bodies are
# those refused as older than the one applied: the stranger's 0x7FFFFFFF
# would make every later one stale.
echo "the bot applied a share of $share of the bodies it received"
check "(b) the bot refused few of them as stale ($stale of $received)" \
    awk -v s="${stale:-1}" -v r="${received:-0}" 'BEGIN { exit !(r > 500 && s < 0.05 * r) }'
check "the bot dropped the stranger's datagrams (foreign=$foreign)" test "${foreign:-0}" -gt 0
check "the bot never saw more than $(field "$work/bot.out" explosions_max) explosions, under 64" \
    test "$(field "$work/bot.out" explosions_max)" -le 64

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "foreign_datagrams.sh: all checks passed"
