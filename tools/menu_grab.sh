#!/bin/bash
# Opens the right-button menu of a server's window under its own Xvfb and
# grabs the screen right after the click and after the pointer crossed an
# entry, with xwininfo of the menu windows: build/test-frames/menu_*.
# Usage: bash tools/menu_grab.sh [build-dir]
set -u
build=$(cd "${1:-build}" && pwd)
if [ -z "${MAZE_MENU_INNER:-}" ]; then
    exec env MAZE_MENU_INNER=1 timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build"
fi
out="$build/test-frames"
mkdir -p "$out"
cd "$build/data" || exit 1
../maze > "$out/menu_server.log" 2>&1 &
game=$!
timeout 20 xdotool search --sync --onlyvisible --name '^maze$' > /dev/null
sleep 2
xdotool mousemove 100 100 click 3
sleep 0.5
import -window root "$out/menu_first_open.png"
for m in $(xdotool search --name 'freeglut menu'); do xwininfo -id "$m"; done > "$out/menu_xwininfo.txt"
xdotool mousemove 130 145
sleep 0.5
import -window root "$out/menu_after_pointer_moved.png"
kill "$game"
wait
echo "menu grabs and xwininfo in $out/menu_*"
