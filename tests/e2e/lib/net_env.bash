# net_env.bash -- shared set-up of the network end-to-end scripts, sourced
# with the script's own arguments (<build-dir> <source-dir>).
# Runs the script in a private network namespace when it can, so a game
# already on port 9899 neither disturbs it nor is disturbed; gives it $build,
# a scratch folder $work, the list $pids of what to end on exit, and
# start_server, which starts the real server under Xvfb (pid ${pids[0]}),
# and the helpers the windowed scripts share.
if [ -z "${MAZE_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec env MAZE_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
# A script that sets xvfb_screen (WxHxD) before sourcing this runs inside its
# own Xvfb, ended after xvfb_timeout seconds (150 unless set). Without
# -noreset the X server resets whenever its last client leaves (an xdotool
# call, a game that quit), and a game connecting during the reset is
# refused: "failed to open display".
if [ -n "${xvfb_screen:-}" ] && [ -z "${MAZE_XVFB_INNER:-}" ]; then
    exec env MAZE_XVFB_INNER=1 timeout "${xvfb_timeout:-150}" xvfb-run -a -s "-screen 0 $xvfb_screen -noreset" bash "$0" "$@"
fi
build=$(cd "$1" && pwd)
work=$(mktemp -d)
pids=()
# Programs under xvfb-run start in their own session (setsid), so their whole
# group (xvfb-run, Xvfb, the game) ends together.
cleanup() {
    for p in "${pids[@]}"; do kill -- "-$p" 2>/dev/null || kill "$p" 2>/dev/null; done
    sleep 0.5
    for p in "${pids[@]}"; do kill -9 -- "-$p" 2>/dev/null || kill -9 "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
# check WHAT COMMAND...: runs COMMAND, says "ok: WHAT" or "FAIL: WHAT" and
# counts the failures, so a script reports every check before it ends.
failures=0
check() {
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
cd "$build/data" || exit 1

start_server() {
    setsid xvfb-run -a -s "-screen 0 1024x768x24" "$build/maze" > "$work/server.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do grep -q "waiting on port 9899" "$work/server.log" && break; sleep 0.1; done
    grep -q "^Server named .* waiting on port 9899$" "$work/server.log" || fail "no server start line"
}

# The value of key $2 in the key=value line of file $1.
field() { tr ' ' '\n' < "$1" | sed -n "s/^$2=//p"; }

# wait_server LOG: up to 5 s for a server's start line in $work/LOG.
wait_server() {
    for _ in $(seq 50); do grep -q "waiting on port 9899" "$work/$1" && break; sleep 0.1; done
    grep -q "waiting on port 9899" "$work/$1" || fail "no server start line in $1"
}
windows() { xdotool search --onlyvisible --name '^maze$' 2>/dev/null | sort; }
# new_window BEFORE-LIST: up to 20 s for a maze window not in it, then up
# to 10 s for its first picture (the view inside the frame drawn; a window
# maps before its first frame, which a sanitized build draws seconds later).
new_window() {
    local w
    for _ in $(seq 100); do
        w=$(comm -13 <(echo "$1") <(windows) | head -n 1)
        [ -n "$w" ] && break
        sleep 0.2
    done
    [ -n "$w" ] || return 1
    for _ in $(seq 50); do
        import -window "$w" "$work/first_picture.png" 2>/dev/null &&
            [ "$(count_pixels "$work/first_picture.png" 440x320+40+40 '$1 + $2 + $3 > 60')" -gt 1000 ] &&
            { echo "$w"; return 0; }
        sleep 0.2
    done
    return 1
}
count_pixels() {  # count_pixels PNG GEOMETRY AWK-CONDITION-ON-$1-$2-$3
    /usr/bin/convert "$1" -crop "$2" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
        awk "$3 { n++ } END { print n + 0 }"
}
# Yellow pixels of a 640x480 window's message line (x from 0.05 W, baseline
# at 0.2 H) inside GEOMETRY.
yellow_message() { count_pixels "$1" "${2:-300x24+28+366}" '$1 > 204 && $2 > 204 && $3 < 77'; }
changed() {  # changed A B GEOMETRY FUZZ: pixels that differ between two screens' crops
    /usr/bin/convert "$1" -crop "$3" +repage "$work/a.png"
    /usr/bin/convert "$2" -crop "$3" +repage "$work/b.png"
    /usr/bin/compare -metric AE -fuzz "$4" "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1
}
