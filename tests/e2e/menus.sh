#!/usr/bin/env bash
# menus.sh BUILD_DIR [SOURCE_DIR] -- the right-button menu of the real game
# with a real client connected, by real X input: "Pause game" on the server
# freezes the world the client sees and says "Game paused" there too;
# resuming lets the client move again; "Toggle Map" shows the large map on
# either side; "Quit" alone ends nothing, the next key ends the server with
# "Good-Bye" and status 0. Screens go to BUILD_DIR/test-frames/e2e_*.png.
set -u
build=$(cd "${1:?usage: menus.sh BUILD_DIR [SOURCE_DIR]}" && pwd)

# One display for both windows, wide enough to show them side by side.
if [ -z "${MAZE_MENUS_INNER:-}" ]; then
    exec env MAZE_MENUS_INNER=1 timeout 120 xvfb-run -a -s "-screen 0 1400x800x24" bash "$0" "$@"
fi

work=$(mktemp -d)
frames="$build/test-frames"
mkdir -p "$frames"
server= client=
cleanup() {
    for p in $client $server; do
        if kill -0 "$p" 2>/dev/null; then kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check TEXT COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
windows() { xdotool search --onlyvisible --name '^maze$' 2>/dev/null | sort; }
# new_window BEFORE-LIST: waits up to 20 s for a maze window not in the list.
new_window() {
    local i w
    for i in $(seq 100); do
        w=$(comm -13 <(echo "$1") <(windows) | head -n 1)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.2
    done
    return 1
}
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
# Pixels of a screen's area whose red, green and blue ($1, $2, $3, 0..255)
# pass an awk condition.
count_pixels() {  # count_pixels PNG GEOMETRY CONDITION
    /usr/bin/convert "$1" -crop "$2" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
        awk "$3 { n++ } END { print n + 0 }"
}
yellow_message() { count_pixels "$1" 100x16+30+372 '$1 > 204 && $2 > 204 && $3 < 77'; }
# Pixels of the 3-D view (inside the frame) that differ between two screens.
view_change() {
    /usr/bin/convert "$1" -crop 440x380+40+40 +repage "$work/a.png"
    /usr/bin/convert "$2" -crop 440x380+40+40 +repage "$work/b.png"
    /usr/bin/compare -metric AE -fuzz 2% "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1
}

(cd "$build/data" && exec "$build/maze" >"$work/server.out" 2>"$work/server.err") &
server=$!
sw=$(new_window "") || { echo "FAIL: no server window"; cat "$work/server.out"; exit 1; }
before=$(windows)
(cd "$build/data" && exec "$build/maze" 127.0.0.1 >"$work/client.out" 2>"$work/client.err") &
client=$!
cw=$(new_window "$before") || { echo "FAIL: no client window"; cat "$work/client.out"; exit 1; }
# The client beside the server.
xdotool windowmove "$cw" 700 0
sleep 1.5
grab "$sw" e2e_server
grab "$cw" e2e_client

# Pause on the server: the client is told and its fighter stays put.
choose 100 100 1
sleep 0.8
grab "$sw" e2e_server_paused
grab "$cw" e2e_client_paused
check "the server shows Game paused" test "$(yellow_message "$frames/e2e_server_paused.png")" -ge 20
check "the client shows Game paused" test "$(yellow_message "$frames/e2e_client_paused.png")" -ge 20
xdotool mousemove 1020 240
xdotool keydown --window "$cw" i
sleep 1.5
grab "$cw" e2e_client_paused_walk
xdotool keyup --window "$cw" i
moved=$(view_change "$frames/e2e_client_paused.png" "$frames/e2e_client_paused_walk.png")
check "a paused client's fighter does not move ($moved pixels changed)" test "$moved" -lt 50

# Resume: the same key walks the client's fighter.
choose 100 100 1
sleep 0.5
grab "$cw" e2e_client_resumed
xdotool mousemove 1020 240
xdotool keydown --window "$cw" i
sleep 1.5
xdotool keyup --window "$cw" i
sleep 0.3
grab "$cw" e2e_client_walked
moved=$(view_change "$frames/e2e_client_resumed.png" "$frames/e2e_client_walked.png")
check "after resuming the client's fighter moves ($moved pixels changed)" test "$moved" -ge 2000

# The large map on the server and on the client.
choose 100 100 2
choose 800 100 2
sleep 0.5
grab "$sw" e2e_server_map
grab "$cw" e2e_client_map
map_walls() { count_pixels "$1" 440x380+40+40 '$1 > 180 && $2 > 180 && $3 > 25 && $3 < 90'; }
check "the server shows the large map" test "$(map_walls "$frames/e2e_server_map.png")" -ge 5000
check "the client shows the large map" test "$(map_walls "$frames/e2e_client_map.png")" -ge 5000
# Both fighters on the client's map: its own green, the server's blue.
blue=$(count_pixels "$frames/e2e_client_map.png" 490x440+10+20 '$3 > 230 && $1 > 50 && $1 < 100 && $2 > 130 && $2 < 180')
check "the client's map shows the server's fighter ($blue blue pixels)" test "$blue" -ge 4

# Quit only asks; the next key on the server ends it.
choose 100 100 7
sleep 1
check "Quit alone leaves the server running" kill -0 "$server"
xdotool mousemove 320 240
sleep 0.3
xdotool key --window "$sw" x
status=0
for i in $(seq 50); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
wait "$server" 2>/dev/null; status=$?
server=
check "the next key ends the server with status 0 ($status)" test "$status" -eq 0
check "the server says Good-Bye" grep -qx "Good-Bye" "$work/server.out"

if [ "$failures" -ne 0 ]; then
    echo "--- server"; cat "$work/server.out" "$work/server.err"
    echo "--- client"; cat "$work/client.out" "$work/client.err"
    exit 1
fi
echo "PASS: menus with a client connected"
