#!/bin/bash
# Installed as a player gets it:
#   - `cmake --install` into a scratch prefix puts the programs, the data,
#     the desktop entry, the icons, the manual pages and the documents in
#     their GNU places; the desktop entry and the manual pages validate;
#   - the installed game, started from another folder, finds its data in
#     <prefix>/share/maze, says so, opens its window and ends on q;
#   - the Debian package (cpack) carries the same files and nothing of the
#     build folder, depends on the libraries dpkg-shlibdeps found (GL, GLUT,
#     SDL), is in section games, and lintian reports no error on it.
# Usage: install.sh <build-dir> <source-dir>
set -u
source "$(dirname "$0")/lib/net_env.bash"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -8 "$f"; done; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || fail "cmake --install failed"
files=(bin/maze bin/maze-server share/maze/korvath.map share/maze/PreyPoses.dat share/maze/music.wav
       share/applications/maze.desktop share/icons/hicolor/48x48/apps/maze.png
       share/icons/hicolor/128x128/apps/maze.png share/icons/hicolor/256x256/apps/maze.png
       share/man/man6/maze.6.gz share/man/man6/maze-server.6.gz
       share/doc/maze/README.md share/doc/maze/copyright share/doc/maze/changelog.gz)
missing=()
for f in "${files[@]}"; do [ -s "$prefix/$f" ] || missing+=("$f"); done
check "every installed file in its place (missing: ${missing[*]:-none})" [ ${#missing[@]} = 0 ]
check "no test helper installed" [ ! -e "$prefix/bin/maze-storm" ] && [ ! -e "$prefix/bin/maze-tests-net" ]
for size in 48 128 256; do
    got=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/maze.png" 2>/dev/null)
    check "the ${size}-pixel icon is a ${size}x${size} PNG ($got)" [ "$got" = "${size}x${size}" ]
done
check "the desktop entry validates" desktop-file-validate "$prefix/share/applications/maze.desktop"
for page in maze maze-server; do
    warnings=$(man --warnings -l "$prefix/share/man/man6/$page.6.gz" 2>&1 >/dev/null)
    check "man $page: no warnings ($warnings)" [ -z "$warnings" ]
done
# Every option of the game and of the server is in its page.
for opt in $("$prefix/bin/maze-server" --help | grep -o -- '--[a-z-]*' | sort -u); do
    man -l "$prefix/share/man/man6/maze-server.6.gz" 2>/dev/null | grep -q -- "$opt" || check "man maze-server lists $opt" false
done

# The installed game from another folder (no level there): the prefix's data.
elsewhere="$work/elsewhere"
mkdir -p "$elsewhere"
(cd "$elsewhere" && SDL_AUDIODRIVER=dummy exec "$prefix/bin/maze" > "$work/game.log" 2>&1) &
game=$!
pids+=($game)
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^maze$' | head -1)
check "the installed game opens its window" [ -n "$win" ]
check "it says it uses $prefix/share/maze" grep -qx "Data folder: $(cd "$prefix/share/maze" && pwd)" "$work/game.log"
if [ -n "$win" ]; then
    xdotool windowfocus --sync "$win" 2>/dev/null
    xdotool key --window "$win" q 2>/dev/null; sleep 0.3; xdotool key --window "$win" q 2>/dev/null
fi
for _ in $(seq 50); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
wait $game
check "q ends it with status 0" [ $? = 0 ]
check "it says Good-Bye" grep -q "Good-Bye" "$work/game.log"

# The package, built as a packager would, in the build folder.
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || fail "cpack failed"
deb=$(ls "$build"/maze_*_*.deb 2>/dev/null | head -1)
check "a package named maze_<version>_<arch>.deb ($deb)" [ -n "$deb" ]
[ -n "$deb" ] || fail "no package"
dpkg-deb -I "$deb" > "$work/info.log"
dpkg-deb -c "$deb" | awk '{ print $6 }' > "$work/contents.log"
depends=$(sed -n 's/^ Depends: //p' "$work/info.log")
echo "package depends on: $depends"
for lib in libglut libsdl2 libc6; do
    check "it depends on $lib (found, not typed)" grep -qi "$lib" <<< "$depends"
done
check "section games" grep -q "^ Section: games" "$work/info.log"
check "version $("$build/maze" --version | grep -o '[0-9][0-9.]*' | head -1)" \
    grep -q "^ Version: $("$build/maze" --version | grep -o '[0-9][0-9.]*' | head -1)$" "$work/info.log"
missing=()
for f in "${files[@]}"; do grep -qx "./usr/$f" "$work/contents.log" || missing+=("$f"); done
check "the package holds every file (missing: ${missing[*]:-none})" [ ${#missing[@]} = 0 ]
check "nothing of the build folder in it" bash -c "! grep -q -e '$build' -e 'CMakeFiles' -e '_CPack' '$work/contents.log'"
if command -v lintian > /dev/null; then
    lintian --tag-display-limit 0 "$deb" > "$work/lintian.log" 2>&1
    echo "lintian: $(grep -c '^E:' "$work/lintian.log") errors, $(grep -c '^W:' "$work/lintian.log") warnings"
    grep '^[EW]:' "$work/lintian.log" | sed 's/^/  /'
    check "lintian reports no error" bash -c "! grep -q '^E:' '$work/lintian.log'"
else
    echo "NOTE: no lintian here; the package is not linted"
fi
rm -f "$deb"
[ $failures = 0 ] || fail "$failures checks failed"
echo "PASS: installed into a prefix and packaged"
