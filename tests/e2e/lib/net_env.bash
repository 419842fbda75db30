# net_env.bash -- shared set-up of the network end-to-end scripts, sourced
# with the script's own arguments (<build-dir> <source-dir>).
# Runs the script in a private network namespace when it can, so a game
# already on port 9899 neither disturbs it nor is disturbed; gives it $build,
# a scratch folder $work, the list $pids of what to end on exit, and
# start_server, which starts the real server under Xvfb (pid ${pids[0]}).
if [ -z "${MAZE_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec env MAZE_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
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
