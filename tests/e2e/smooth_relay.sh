#!/bin/bash
# Smooth and immediate through maze-relay at 10% loss and 40 +- 20 ms each
# way: a windowed server and its client through the relay, on one display.
# maze-keylag measures a turn key's key-to-pixel time on the server's window
# and on the client's; then the server's player walks, and the client's
# frame trace must show that fighter moving forward only, frame by frame,
# without a jump. The figures are printed (measurements, not limits); the
# client takes extra flags from $CLIENT_FLAGS (--no-smoothing for the
# figures before).
# Usage: smooth_relay.sh <build-dir> <source-dir>
set -u
lib=$(cd "$(dirname "$0")/lib" && pwd)
source "$lib/net_env.bash"
source "$lib/relay.bash"
fail() { echo "FAIL: $*"; echo "--- server"; tail -20 "$work/server.log"; echo "--- client"; tail -20 "$work/client.log"; cat "$work"/relay.err; exit 1; }
[ -x "$build/maze-keylag" ] || { echo "SKIP: maze-keylag was not built (no XTest)"; exit 0; }

export BUILD="$build" WORK="$work" CLIENT_FLAGS="${CLIENT_FLAGS:-}" SAMPLES="${SAMPLES:-10}"
setsid xvfb-run -a -s "-screen 0 1400x768x24" bash -c '
    cd "$BUILD/data"
    "$BUILD/maze" > "$WORK/server.log" 2>&1 &
    for _ in $(seq 100); do grep -q "waiting on port 9899" "$WORK/server.log" && break; sleep 0.1; done
    swid=$(timeout 20 xdotool search --sync --onlyvisible --name "^maze$" | head -1)
    "$BUILD/maze-relay" seconds=90 listen=9898 server=9899 loss=0.1 delay=40 jitter=20 reorder=0.01 seed=5 \
        > "$WORK/relay.out" 2> "$WORK/relay.err" &
    sleep 0.5
    "$BUILD/maze" 127.0.0.1:9898 --frame-trace "$WORK/trace.txt" $CLIENT_FLAGS > "$WORK/client.log" 2>&1 &
    cwid=
    for _ in $(seq 100); do
        cwid=$(xdotool search --onlyvisible --name "^maze$" | grep -vx "$swid" | head -1)
        [ -n "$cwid" ] && break
        sleep 0.2
    done
    [ -n "$swid" ] && [ -n "$cwid" ] || { echo "windows: server $swid client $cwid" > "$WORK/keylag.err"; exit 1; }
    sleep 2
    xdotool mousemove --window "$swid" 320 240
    "$BUILD/maze-keylag" --window "$swid" --count "$SAMPLES" > "$WORK/keylag-server.out" 2>> "$WORK/keylag.err"
    xdotool mousemove --window "$cwid" 320 240
    "$BUILD/maze-keylag" --window "$cwid" --count "$SAMPLES" > "$WORK/keylag-client.out" 2>> "$WORK/keylag.err"
    date +%s%3N > "$WORK/walk.start"
    xdotool keydown --window "$swid" i; sleep 2.5; xdotool keyup --window "$swid" i
    sleep 1
' &
xvfb=$!
pids+=($xvfb)
wait $xvfb || fail "the windows did not come up: $(cat "$work/keylag.err" 2>/dev/null)"

echo "key to pixel, server's own window: $(cat "$work/keylag-server.out")"
echo "key to pixel, client through the relay${CLIENT_FLAGS:+ ($CLIENT_FLAGS)}: $(cat "$work/keylag-client.out")"
for who in server client; do
    grep -q "^samples=[1-9]" "$work/keylag-$who.out" || fail "maze-keylag took no sample on the $who ($(cat "$work/keylag.err"))"
done
[ -s "$work/trace.txt" ] || fail "no frame trace"

# The walk in the client's trace: fighter 0's drawn place, frame by frame.
python3 - "$work/trace.txt" <<'PY' || fail "the walk as the client drew it"
import math, sys
rows = [l.split() for l in open(sys.argv[1]) if l.strip()]
pts = [(float(r[0]), float(r[4]), float(r[5])) for r in rows if len(r) >= 6 and r[4] != "nan"]
start = pts[0][1:]
moving = [i for i in range(1, len(pts)) if pts[i][1:] != pts[i - 1][1:]]
if len(moving) < 10:
    print("fighter 0 was not seen walking"); sys.exit(1)
walk = pts[moving[0] - 1: moving[-1] + 1]
ex, ey = walk[-1][1] - walk[0][1], walk[-1][2] - walk[0][2]
norm = math.hypot(ex, ey)
steps = [((b[1] - a[1]) * ex + (b[2] - a[2]) * ey) / norm for a, b in zip(walk, walk[1:])]
speeds = [s / ((b[0] - a[0]) / 1000.0) for s, a, b in zip(steps, walk, walk[1:]) if b[0] > a[0]]
back = sum(1 for s in steps if s < -1e-3)
mean = sum(steps) / len(steps)
cv = lambda v: (sum((x - sum(v) / len(v)) ** 2 for x in v) / len(v)) ** 0.5 / (sum(v) / len(v))
dts = [b[0] - a[0] for a, b in zip(walk, walk[1:])]
# A frame drawn a pass late (a busy machine) rightly shows two passes' move:
# the step per pass the frame covers (its time is its pass's beat, 10 ms
# apart) tells that from unevenness.
passes = [max(1, round(dt / 10.0)) for dt in dts]
print("walk drawn by the client: frames=%d mean_frame_ms=%.1f late_frames=%d step_mean=%.4f step_cv=%.2f "
      "pass_step_cv=%.2f speed_cv=%.2f standing_frames=%d back_steps=%d largest_step=%.3f" % (
      len(walk), sum(dts) / len(dts), sum(1 for n in passes if n > 1), mean, cv(steps),
      cv([s / n for s, n in zip(steps, passes)]), cv(speeds), sum(1 for s in steps if abs(s) < 1e-6), back,
      max(steps)))
if back:
    print("the drawn fighter stepped back"); sys.exit(1)
if max(steps) > 2.0:
    print("the drawn fighter jumped"); sys.exit(1)
PY
echo "PASS: smooth and immediate through the relay"
