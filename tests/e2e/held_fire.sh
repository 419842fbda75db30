#!/usr/bin/env bash
# held_fire.sh BUILD_DIR [SOURCE_DIR] -- held space fires at the gun's own
# beat with real X keys. The windowed server (--verbose: a "fire!!!!" line
# per shot) takes:
#   - space held alone for 1.5 s (the X server repeats it after 660 ms:
#     release/press pairs every 40 ms), then i held as well for 2 s (the X
#     server repeats only the last key pressed, so space sends nothing more):
#     about 16.7 shots a second throughout, and the fighter walks;
#   - a tap of space: one shot.
set -u
if [ -z "${MAZE_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec env MAZE_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
if [ -z "${MAZE_HELD_INNER:-}" ]; then
    exec env MAZE_HELD_INNER=1 timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"

failures=0
check() {  # check TEXT COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
fail() { echo "FAIL: $*"; tail -20 "$work/server.out"; exit 1; }
fires() { grep -c '^fire!!!! $' "$work/server.out"; }
position() { grep '^Position: ' "$work/server.out" | tail -n 1 | cut -d' ' -f2-; }

SDL_AUDIODRIVER=dummy "$build/maze" --verbose > "$work/server.out" 2>&1 &
pids+=($!)
sw=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
[ -n "$sw" ] || fail "no server window"
for _ in $(seq 100); do grep -q '^Volume ' "$work/server.out" && break; sleep 0.1; done
sleep 1
# Keyboard focus follows the pointer here.
xdotool mousemove --window "$sw" 320 240 key p
sleep 0.5
from=$(position) before=$(fires)

t0=$(date +%s.%N)
xdotool keydown space
sleep 1.5
xdotool keydown i
sleep 2
xdotool keyup space
t1=$(date +%s.%N)
xdotool keyup i
sleep 0.5
shots=$(($(fires) - before))
read -r held expected <<<"$(echo "$t0 $t1" | awk '{ h = $2 - $1; printf "%.3f %.1f", h, 1 + h * 1000 / 60 }')"
echo "space held $held s: $shots shots (steady beat: $expected)"
check "held space fires at the gun's beat, i held or not ($shots shots in $held s, about $expected)" \
    awk -v n="$shots" -v e="$expected" 'BEGIN { exit !(n >= 0.85 * e && n <= 1.1 * e + 2) }'
xdotool key p
sleep 0.5
walked=$(echo "$from $(position)" | awk '{ dx = $3 - $1; dy = $4 - $2; printf "%.2f", sqrt(dx*dx + dy*dy) }')
check "the fighter walked while firing ($walked units)" awk -v w="$walked" 'BEGIN { exit !(w > 2) }'

before=$(fires)
xdotool key space
sleep 0.5
check "a tap of space fires once ($(($(fires) - before)))" test "$(($(fires) - before))" = 1

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "held_fire.sh: all checks passed"
