#!/usr/bin/env bash
# keys.sh BUILD_DIR [SOURCE_DIR] -- real key events against the real game
# window: a tap of space fires once, a held space fires at the keyboard's
# repeat rate, a held i walks steadily (the repeat's release/press pairs
# never stop the fighter), p prints the position, q ends the game with
# "Good-Bye" and status 0.
set -u
build=$(cd "${1:?usage: keys.sh BUILD_DIR [SOURCE_DIR]}" && pwd)

# The display server lives exactly as long as this script's inner run.
if [ -z "${MAZE_KEYS_INNER:-}" ]; then
    exec env MAZE_KEYS_INNER=1 timeout 240 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check CONDITION-TEXT COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
fires() { grep -c '^fire!!!! $' "$work/out" || true; }
# Last "Position: x y" line as "x y".
position() { grep '^Position: ' "$work/out" | tail -n 1 | cut -d' ' -f2-; }
positions() { grep -c '^Position: ' "$work/out" || true; }
# wait_for COUNT-FUNCTION AT-LEAST: up to 5 s for the game's output to catch up.
wait_for() {
    local i
    for i in $(seq 50); do [ "$($1)" -ge "$2" ] && return 0; sleep 0.1; done
    return 1
}
now() { date +%s.%N; }

(cd "$build/data" && exec "$build/maze" >"$work/out" 2>"$work/err") &
pid=$!

wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^maze$' | head -n 1)
if [ -z "$wid" ]; then
    echo "FAIL: no maze window"; cat "$work/out" "$work/err"; exit 1
fi
# No window manager: keyboard focus follows the pointer.
xdotool mousemove --window "$wid" 320 240
sleep 1

# A tap fires once, on its release.
xdotool key space
wait_for fires 1
sleep 0.5
check "a tap of space fires exactly once ($(fires))" test "$(fires)" -eq 1

# p prints the position; the fighter starts facing +y.
xdotool key p
wait_for positions 1
start=$(position)
check "p prints the position ($start)" test -n "$start"

# Held i: the server's keyboard repeats it (release/press pairs every 40 ms
# after 660 ms); the fighter must walk at 2.5 units per second throughout.
t0=$(now)
xdotool keydown i
sleep 2.5
xdotool keyup i
t1=$(now)
sleep 0.3
xdotool key p
wait_for positions 2
end=$(position)
read -r walked held <<<"$(echo "$start $end $t0 $t1" | awk '{
    dx = $3 - $1; dy = $4 - $2; printf "%.3f %.3f", sqrt(dx*dx + dy*dy), $6 - $5 }')"
echo "held i for ${held} s: walked ${walked} units from ($start) to ($end)"
# Expected 2.5 * held; every repeat pair seen as a release would cost one
# world step in four (about 25%).
check "held i walks steadily (at least 90% of 2.5 units/s)" \
    awk -v w="$walked" -v h="$held" 'BEGIN { exit !(w >= 0.9 * 2.5 * (h - 0.05) && w <= 2.5 * (h + 0.3)) }'

# Held space fires on every repeat and once more on the release.
before=$(fires)
t0=$(now)
xdotool keydown space
sleep 2
xdotool keyup space
t1=$(now)
sleep 0.5
shots=$(( $(fires) - before ))
expected=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%d", (b - a - 0.66) / 0.04 + 1 }')
echo "held space for $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.2f", b-a}') s: $shots shots, about $expected expected"
check "held space fires at the repeat rate" \
    awk -v s="$shots" -v e="$expected" 'BEGIN { exit !(s >= 0.7 * e && s <= 1.3 * e + 2 && s > 5) }'

# q ends the game on its release (the event after the request).
xdotool key q
status=
for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; status=$?; break; fi
    sleep 0.1
done
pid_done=$pid
[ -n "$status" ] && pid=
check "q ends the game with status 0 (status ${status:-still running})" test "${status:-x}" = 0
check "Good-Bye is the last line" test "$(tail -n 1 "$work/out")" = "Good-Bye"

if [ "$failures" -ne 0 ]; then
    echo "--- game stdout (last 20 lines) ---"; tail -n 20 "$work/out"
    echo "--- game stderr ---"; cat "$work/err"
    exit 1
fi
echo "keys.sh: all checks passed"
