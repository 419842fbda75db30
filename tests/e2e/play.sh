#!/usr/bin/env bash
# play.sh BUILD_DIR [SOURCE_DIR] -- a server and a client on one desktop,
# driven by real X input, each recording its sound with SDL's disk driver:
#   - the server's 640x480 window first shows sky, floor and the white
#     crosshair (test-frames/startup.png);
#   - held space fires at the gun's own beat: held alone for 2 s (the X
#     server repeats it after 660 ms: release/press pairs every 40 ms) the
#     repeats add no shots to the beat of 16.7 a second; then i held as well
#     (the X server repeats only the last key pressed, so space sends
#     nothing more) walks the fighter steadily, 2.5 units a second, while the
#     gun keeps its beat, counted against the world's clock (the distance
#     walked between two "Position" lines, taps of p), so a loaded machine
#     that runs the game late does not skew the rate;
#   - a tap of space fires once;
#   - on the client, Tab held shows the scoreboard over the view (the
#     client's row, the second, on its blue bar) and its release takes it
#     away (test-frames/e2e_scoreboard_*.png);
#   - a tap of space on the server is heard there as the gun within 100 ms
#     (best of three) and the client hears the same shot;
#   - "Pause game" on the server freezes the client's fighter and says
#     "Game paused" on both; resuming lets the client walk again; "Toggle
#     Map" shows the large map;
#   - the server's pass rate, as a maze-bot measures it, is the same with its
#     window visible, covered by the client's and unmapped (within 20%,
#     40..105 a second), and the idle server uses under half a core;
#   - "Quit" alone ends nothing, the next key ends the server with
#     "Good-Bye" and status 0; q ends the client the same way.
# Screens go to BUILD_DIR/test-frames/e2e_*.png. In a sanitized build the
# checks of speed print what they saw without failing (timed_check).
set -u
xvfb_screen=1400x800x24 xvfb_timeout=200
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"
frames="$build/test-frames"
mkdir -p "$frames"

# Checks of speed (pass rates, walking pace, sound delays, a client's frame
# rate catching each bullet) hold for the normal build. A sanitized build
# (its CMakeCache says MAZE_SANITIZE=ON) runs several times slower; there
# they print what they saw and count as passed, and every other check holds.
sanitized=
grep -q '^MAZE_SANITIZE:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null && sanitized=1
timed_check() {  # timed_check TEXT COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"
    elif [ -n "$sanitized" ]; then echo "slow: $what (not held in a sanitized build)"
    else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
fail() { echo "FAIL: $*"; tail -n 20 "$work/server.out" "$work/client.out" 2>/dev/null; exit 1; }
# Menu entry k (0-based) of a menu opened at (x, y): 25 pixels per entry.
choose() {  # choose X Y ENTRY
    xdotool mousemove "$1" "$2" click 3
    sleep 0.5
    xdotool mousemove $(($1 + 30)) $(($2 + 14 + 25 * $3))
    sleep 0.3
    xdotool click 1
    sleep 0.5
}
grab() { import -window "$1" "$frames/$2.png"; }
yellow_message() { count_pixels "$1" 100x16+30+372 '$1 > 204 && $2 > 204 && $3 < 77'; }
walk_client() {  # holds i on the client for 1.5 s between two screens $1, $2
    grab "$cw" "$1"
    xdotool mousemove 1020 240
    xdotool keydown --window "$cw" i
    sleep 1.5
    xdotool keyup --window "$cw" i
    sleep 0.3
    grab "$cw" "$2"
    # The 3-D view inside the frame, above the message line (whose text may
    # change between the screens: "Server not answering" on a loaded machine).
    changed "$frames/$1.png" "$frames/$2.png" 440x320+40+40 2%
}
# The server's pass rate as a bot measures it over 4 s; none lost on loopback.
measure() {
    timeout 30 "$build/maze-bot" 127.0.0.1 4 > "$work/$1.bot" 2>&1 || fail "bot ($1): $(cat "$work/$1.bot")"
    echo "$1: $(cat "$work/$1.bot")" >&2
    [ "$(field "$work/$1.bot" dropped_socket)" = 0 ] || fail "the bot's socket dropped state bodies ($1)"
    field "$work/$1.bot" rate_hz
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }  # user + system

# --verbose: the server's terminal counts its shots ("fire!!!!").
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/server.raw" "$build/maze" --verbose > "$work/server.out" 2>&1 &
server=$!
pids+=($server)
sw=$(new_window "") || fail "no server window"
wait_server server.out
geometry=$(xwininfo -id "$sw" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w"x"h}')
check "the window is 640x480 ($geometry)" test "$geometry" = 640x480
shot="$frames/startup.png"
rgb() { /usr/bin/convert "$shot" -crop "$1" +repage -resize 1x1\! -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:; }
sleep 0.5
import -window "$sw" "$shot"
read -r sr _ sb <<<"$(rgb 200x40+220+60)"
read -r fr _ fb <<<"$(rgb 200x40+220+400)"
read -r cr cg cb <<<"$(rgb 1x1+320+240)"
check "blue sky at the top ($sr $sb)" test "$sb" -gt $((sr + 30))
check "sandy floor at the bottom ($fr $fb)" test "$fr" -gt $((fb + 20))
check "white crosshair at the centre ($cr $cg $cb)" test "$((cr > 230 && cg > 230 && cb > 230))" = 1
visible=$(measure visible)

# Held space, then i as well; the walk and the shots are counted between the
# taps of p.
fires() { grep -c '^fire!!!! $' "$work/server.out"; }
xdotool mousemove --window "$sw" 320 240
sleep 0.5
before=$(fires) t0=$(date +%s.%N)
xdotool keydown space
sleep 2
t1=$(date +%s.%N) alone=$(($(fires) - before))
xdotool key p keydown i
t2=$(date +%s.%N)
sleep 2.5
xdotool key p
t3=$(date +%s.%N)
xdotool keyup space keyup i
sleep 0.8
read -r held expected <<<"$(echo "$t0 $t1" | awk '{ h = $2 - $1; printf "%.3f %.1f", h, 1 + h * 1000 / 60 }')"
check "held space alone: the X server's repeats add no shots ($alone in $held s, at most about $expected)" \
    awk -v n="$alone" -v e="$expected" 'BEGIN { exit !(n >= 0.5 * e && n <= 1.1 * e + 2) }'
# The last two Position lines: where the walk began and ended, and the shots between.
read -r walked shots <<<"$(awk '/^Position: / { n++; x[n] = $2; y[n] = $3; f[n] = fires } /^fire!!!! $/ { fires++ }
    END { dx = x[n] - x[n - 1]; dy = y[n] - y[n - 1]; printf "%.3f %d", sqrt(dx * dx + dy * dy), f[n] - f[n - 1] }' \
    "$work/server.out")"
held=$(echo "$t2 $t3" | awk '{ printf "%.3f", $2 - $1 }')
timed_check "held i for $held s walks steadily: $walked units (90% of 2.5 units/s)" \
    awk -v w="$walked" -v h="$held" 'BEGIN { exit !(w >= 0.9 * 2.5 * (h - 0.05) && w <= 2.5 * (h + 0.3)) }'
rate=$(awk -v w="$walked" -v n="$shots" 'BEGIN { printf "%.1f", (w > 0 ? n / (w / 2.5) : 0) }')
# A stall of more than two cycles (a heavily loaded machine) drops shots
# rather than bursting, so the beat may fall a little short of 16.7.
check "with i held too, space keeps the gun's beat ($shots shots over $walked units: $rate a second)" \
    awk -v r="$rate" 'BEGIN { exit !(r >= 14.5 && r <= 17.5) }'

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/client.raw" "$build/maze" 127.0.0.1 > "$work/client.out" 2>&1 &
client=$!
pids+=($client)
cw=$(new_window "$sw") || fail "no client window"
where=$(xwininfo -id "$cw" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x","y}')
check "the client's window does not open over the server's ($where)" test "$where" != 0,0
xdotool windowmove "$cw" 700 0
for _ in $(seq 100); do grep -q '^Volume ' "$work/client.out" && break; sleep 0.1; done
sleep 1.5

# Tab held on the client shows its row (the second) on the scoreboard's blue
# bar over the upper view; the release takes it away.
bar='$1 >= 30 && $1 <= 46 && $2 >= 81 && $2 <= 97 && $3 >= 158 && $3 <= 174'
xdotool mousemove --window "$cw" 213 240
sleep 0.3
shot="$frames/e2e_scoreboard"
for state in before held released; do
    [ $state = held ] && xdotool keydown --window "$cw" Tab
    [ $state = released ] && xdotool keyup --window "$cw" Tab
    sleep 0.6
    import -window "$cw" "$shot-$state.png"
done
bars=$(for state in before held released; do count_pixels "$shot-$state.png" 435x192+38+24 "$bar"; done | tr '\n' ' ')
read -r before held released <<<"$bars"
check "Tab held shows the client's row on its bar ($held pixels), none before ($before) or after ($released)" \
    test "$held" -ge 4608 -a "$before" -lt 20 -a "$released" -lt 20

# A tap of space (tap_key.py gives both recordings' sizes at the press,
# which fires); the delay includes the game's frame, so the best of three
# is held to 100 ms.
xdotool mousemove --window "$sw" 100 100
fired=$(fires)
best=
for n in 1 2 3; do
    read -r s c < <(python3 "$here/lib/tap_key.py" space "$work/server.raw" "$work/client.raw")
    sleep 0.8
    out=$(python3 "$here/lib/audio_check.py" shot "$work/server.raw" "$s" gun1.wav gun2.wav); st=$?
    echo "server, shot $n: $out"
    check "the server's shot $n is heard as gun1 at the guns' volume" test $st = 0
    d=$(echo "$out" | tr ' ' '\n' | sed -n 's/^delay_ms=//p')
    [ -n "$d" ] && best=$(awk -v a="${best:-1e9}" -v b="$d" 'BEGIN { print (b < a ? b : a) }')
    out=$(python3 "$here/lib/audio_check.py" shot "$work/client.raw" "$c" gun1.wav gun2.wav); st=$?
    echo "client, shot $n: $out"
    timed_check "the client hears the server's shot $n as gun1" test $st = 0
done
check "each tap of space fires once ($((fired + 3)) shots in all)" test "$(fires)" = $((fired + 3))
timed_check "key to sound within 100 ms (best of three: ${best:-none} ms)" awk -v d="${best:-1e9}" 'BEGIN { exit !(d < 100) }'

# With the music on, a shot stands out above it; music off again after.
choose 100 100 5
sleep 1.5
xdotool mousemove --window "$sw" 100 100
read -r s c < <(python3 "$here/lib/tap_key.py" space "$work/server.raw" "$work/client.raw")
sleep 0.8
out=$(python3 "$here/lib/audio_check.py" over_music "$work/server.raw" "$s"); st=$?
echo "server, shot over the music: $out"
check "a shot stands 6 dB over the music above 1 kHz, nothing at full scale" test $st = 0
choose 100 100 5
sleep 0.3

# Pause on the server: both say so and the client's fighter stays put.
choose 100 100 1
sleep 0.8
grab "$sw" e2e_server_paused
check "the server shows Game paused" test "$(yellow_message "$frames/e2e_server_paused.png")" -ge 20
moved=$(walk_client e2e_client_paused e2e_client_paused_walk)
check "the client shows Game paused" test "$(yellow_message "$frames/e2e_client_paused.png")" -ge 20
check "a paused client's fighter does not move ($moved pixels changed)" test "$moved" -lt 50
choose 100 100 1
sleep 0.5
moved=$(walk_client e2e_client_resumed e2e_client_walked)
check "after resuming the client's fighter moves ($moved pixels changed)" test "$moved" -ge 2000
choose 100 100 2
sleep 0.5
grab "$sw" e2e_server_map
walls=$(count_pixels "$frames/e2e_server_map.png" 440x380+40+40 '$1 > 180 && $2 > 180 && $3 > 25 && $3 < 90')
check "the server shows the large map ($walls wall pixels)" test "$walls" -ge 5000

# The client's window exactly over the server's, then the server unmapped.
xdotool windowmove "$cw" 0 0
sleep 1
covered=$(measure covered)
xdotool windowunmap "$sw"
sleep 1
unmapped=$(measure unmapped)
before=$(cpu_ticks $server)
sleep 3
share=$(echo "scale=3; ($(cpu_ticks $server) - $before) / 100 / 3" | bc)
echo "pass rates: visible $visible, covered $covered, unmapped $unmapped /s; idle server: $share of a core"
for r in "$covered" "$unmapped"; do
    timed_check "pass rate $r/s within 20% of the visible window's $visible/s" \
        awk -v r="$r" -v v="$visible" 'BEGIN { exit !(r >= 0.8 * v && r <= 1.2 * v) }'
done
for r in "$visible" "$covered" "$unmapped"; do
    timed_check "pass rate $r/s in 40..105" awk -v r="$r" 'BEGIN { exit !(r >= 40 && r <= 105) }'
done
timed_check "the idle server uses under half a core ($share)" awk -v s="$share" 'BEGIN { exit !(s < 0.5) }'
xdotool windowmap "$sw"
xdotool windowmove "$cw" 700 0
sleep 1

# Quit only asks; the next key on the server ends it.
choose 100 100 9
sleep 1
check "Quit alone leaves the server running" kill -0 "$server"
xdotool mousemove 320 240
sleep 0.3
xdotool key --window "$sw" x
for _ in $(seq 50); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
wait "$server"; status=$?
check "the next key ends the server with status 0 ($status)" test "$status" -eq 0
check "the server says Good-Bye" grep -qx Good-Bye "$work/server.out"
xdotool mousemove --window "$cw" 320 240 key q
for _ in $(seq 50); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
wait $client; status=$?
check "q ends the client with status 0 ($status)" test "$status" -eq 0
check "the client says Good-Bye" test "$(tail -1 "$work/client.out")" = Good-Bye

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "play.sh: all checks passed"
