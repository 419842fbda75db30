#!/usr/bin/env bash
# scoreboard.sh BUILD_DIR [SOURCE_DIR] -- a server and a client on one
# desktop; on the client, Tab held with real X input shows the scoreboard
# over the view (the client's row, the second, on its blue bar, both
# players' rows of text) and its release takes it away, in a 640x480 and a
# 960x720 window. Screens go to BUILD_DIR/test-frames/e2e_scoreboard_*.png.
set -u
xvfb_screen=1700x800x24
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"
frames="$build/test-frames"
mkdir -p "$frames"
fail() { echo "FAIL: $*"; tail -20 "$work/server.out" "$work/client.out" 2>/dev/null; exit 1; }
bar='$1 >= 30 && $1 <= 46 && $2 >= 81 && $2 <= 97 && $3 >= 158 && $3 <= 174'
white='$1 > 200 && $2 > 200 && $3 > 200'

"$build/maze" > "$work/server.out" 2>&1 &
pids+=($!)
sw=$(new_window "") || fail "no server window"
wait_server server.out
"$build/maze" 127.0.0.1 > "$work/client.out" 2>&1 &
pids+=($!)
cw=$(new_window "$sw") || fail "no client window"
xdotool windowmove "$cw" 700 0
for _ in $(seq 100); do grep -q '^Volume ' "$work/client.out" && break; sleep 0.1; done
sleep 1.5

for size in 640x480 960x720; do
    w=${size%x*} h=${size#*x}
    xdotool windowsize "$cw" "$w" "$h"
    sleep 1
    xdotool mousemove --window "$cw" $((w / 3)) $((h / 2))
    sleep 0.3
    shot="$frames/e2e_scoreboard_$size"
    import -window "$cw" "$shot-before.png"
    xdotool keydown --window "$cw" Tab
    sleep 0.6
    import -window "$cw" "$shot-held.png"
    xdotool keyup --window "$cw" Tab
    sleep 0.6
    import -window "$cw" "$shot-released.png"
    # The view's upper part, inside the frame: where the panel lies.
    view="$((w * 68 / 100))x$((h * 40 / 100))+$((w * 6 / 100))+$((h * 5 / 100))"
    held_bar=$(count_pixels "$shot-held.png" "$view" "$bar")
    held_text=$(count_pixels "$shot-held.png" "$view" "$white")
    # A bar a line high across most of the panel, less the text on it.
    want=$((w * 60 / 100 * h / 40))
    check "$size: Tab held shows the client's row on its bar ($held_bar pixels, $want wanted)" \
        test "$held_bar" -ge "$want"
    check "$size: rows of text on the panel ($held_text white pixels)" test "$held_text" -ge $((w / 2))
    check "$size: no bar before Tab" test "$(count_pixels "$shot-before.png" "$view" "$bar")" -lt 20
    check "$size: no bar after its release" test "$(count_pixels "$shot-released.png" "$view" "$bar")" -lt 20
    shown=$(changed "$shot-before.png" "$shot-held.png" "$view" 3%)
    gone=$(changed "$shot-before.png" "$shot-released.png" "$view" 3%)
    check "$size: the panel darkens the view ($shown pixels changed)" test "$shown" -ge $((w * h / 20))
    check "$size: released, the view is as before ($gone pixels changed)" test "$gone" -lt $((w * h / 200))
done

xdotool mousemove --window "$cw" 100 100 key q
xdotool mousemove --window "$sw" 100 100 key q
sleep 1
[ "$failures" = 0 ] || fail "$failures checks failed"
echo "scoreboard.sh: all checks passed"
