#!/bin/bash
# The player's choices survive a restart, and F11 switches fullscreen:
#   - a window resized by the player and F11 are written to the settings
#     file (in a folder of the test's own); F11 fills the screen (a grab at
#     the screen's size is written for a person to look at) and F11 again
#     gives back the window's size;
#   - the next start opens at the saved size, fullscreen when it was left so;
#   - a damaged settings file: one line, the defaults, and the game plays.
# Usage: settings_fullscreen.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
frames="$build/test-frames"
mkdir -p "$frames"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -8 "$f"; done; exit 1; }
export XDG_CONFIG_HOME="$work/config"
settings="$XDG_CONFIG_HOME/maze/settings"
screen=$(xdpyinfo | awk '/dimensions:/ { print $2; exit }')
size_of() { xdotool getwindowgeometry "$1" | awk '/Geometry:/ { print $2 }'; }
start_game() {  # LOG: starts the server game, sets $game and $win
    SDL_AUDIODRIVER=dummy "$build/maze" > "$work/$1" 2>&1 &
    game=$!
    pids+=($game)
    win=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
    [ -n "$win" ] || fail "no window ($1)"
    sleep 1
}
quit_game() {
    xdotool key --window "$win" q 2>/dev/null; sleep 0.3; xdotool key --window "$win" q 2>/dev/null
    for _ in $(seq 50); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
    wait $game
}
# Waits up to 3 s for a settings line.
saved() { for _ in $(seq 30); do grep -qx "$1" "$settings" 2>/dev/null && return 0; sleep 0.1; done; return 1; }

start_game first.log
check "the first start opens at 640x480" [ "$(size_of "$win")" = 640x480 ]
xdotool windowsize "$win" 800 600
check "a resized window is saved" saved "window = 800x600"
xdotool key --window "$win" F11
sleep 1
check "F11 fills the screen ($screen)" [ "$(size_of "$win")" = "$screen" ]
check "fullscreen is saved" saved "fullscreen = yes"
import -window root "$frames/fullscreen.png" 2>/dev/null
check "a grab at the screen's size" [ "$(identify -format '%wx%h' "$frames/fullscreen.png" 2>/dev/null)" = "$screen" ]
mean=$(convert "$frames/fullscreen.png" -colorspace gray -format '%[fx:mean]' info: 2>/dev/null)
check "the fullscreen view is drawn, not black (mean $mean)" awk -v m="${mean:-0}" 'BEGIN { exit !(m > 0.05) }'
quit_game
check "q ends the game with status 0" [ $? = 0 ]
check "the settings file is whole: $(tr '\n' '|' < "$settings")" grep -q "^# maze settings" "$settings"

start_game second.log
check "the next start is fullscreen, as it was left" [ "$(size_of "$win")" = "$screen" ]
xdotool key --window "$win" F11
sleep 1
check "F11 gives back the saved size" [ "$(size_of "$win")" = 800x600 ]
quit_game
check "fullscreen off is saved at the end" grep -qx "fullscreen = no" "$settings"

printf '# maze settings\ndetail = 12\n' > "$settings"
start_game damaged.log
check "a damaged file: the default size" [ "$(size_of "$win")" = 640x480 ]
check "a damaged file: one line naming it" [ "$(grep -c "$settings" "$work/damaged.log")" = 1 ]
quit_game
check "and the game ends well" [ $? = 0 ]
[ $failures = 0 ] || fail "$failures checks failed"
echo "PASS: settings kept across starts, fullscreen by F11"
