#!/usr/bin/env bash
# quiet_terminal.sh BUILD_DIR [SOURCE_DIR] -- the terminal of a game keeps to
# the lines a host needs. maze-server plays with a maze-bot that walks and
# fires; without --verbose the server prints its start line and Good-Bye and
# none of the rules' chatter (shots, refused paths, hits, the prey's moves),
# and the bot only its line of figures; with --verbose the chatter is there,
# one "fire!!!!" line for every shot the bot saw.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/net_env.bash"

fail() { echo "FAIL: $*"; for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; tail -8 "$f"; done; exit 1; }
chatter='fire!!!!|not clear|Maneuver mode|shot!!|DEAD|health|hit ground|hit ceiling|handle: |num of lights|out of bullets'
no_chatter() { ! grep -Eq "$chatter" "$@"; }
starts_and_ends() {  # the start line, and Good-Bye last
    grep -q '^Server named .* waiting on port 9899$' "$1" && [ "$(tail -1 "$1")" = Good-Bye ]
}

# play VERBOSE-OPTION NAME: maze-server and a firing bot for 6 s, then SIGTERM.
play() {
    "$build/maze-server" $1 > "$work/$2.out" 2> "$work/$2.err" &
    local server=$!
    pids+=($server)
    wait_server "$2.out"
    timeout 30 "$build/maze-bot" 127.0.0.1 seconds=6 > "$work/$2.bot.out" 2> "$work/$2.bot.err" ||
        fail "the bot failed ($2)"
    kill -TERM $server
    wait $server
    check "maze-server $1 ends with status 0 on SIGTERM" test $? = 0
}

play "" quiet
shots=$(field "$work/quiet.bot.out" shots)
check "the bot fired (shots=$shots)" test "${shots:-0}" -gt 0
check "without --verbose no chatter on the server's terminal" no_chatter "$work/quiet.out" "$work/quiet.err"
check "the server's start line and Good-Bye are there" starts_and_ends "$work/quiet.out"
check "the bot prints its line of figures only" test "$(wc -l < "$work/quiet.bot.out")" = 1
echo "--- the server's terminal without --verbose:"
cat "$work/quiet.out" "$work/quiet.err"

play --verbose verbose
shots=$(field "$work/verbose.bot.out" shots)
fires=$(grep -c '^fire!!!! $' "$work/verbose.out")
check "with --verbose a fire line for every shot the bot saw ($fires lines, $shots shots)" \
    test "$fires" -ge "${shots:-1}" -a "$fires" -gt 0
check "with --verbose the start line and Good-Bye are still there" starts_and_ends "$work/verbose.out"

[ "$failures" = 0 ] || fail "$failures checks failed"
echo "quiet_terminal.sh: all checks passed"
