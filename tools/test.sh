#!/bin/bash
# Sets the machine up and runs every test headless:
#   1. the normal build: unit, pixel and end-to-end tests under Xvfb;
#   2. the same build and the same tests, the windowed game included, under
#      AddressSanitizer and UndefinedBehaviorSanitizer (tools/lsan.supp holds
#      what the system's libraries leak);
#   3. every libFuzzer target for a bounded time (FUZZ_SECONDS, default 15).
# Each stage ends with a line saying how long it took.
# The fuzz targets' own output is closed (-close_fd_mask); libFuzzer keeps a
# copy of the error stream for its reports and the sanitizers'.
# Ends with one line "N passed, N failed" and a non-zero status on failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fuzz_seconds=${FUZZ_SECONDS:-15}
passed=0
failed=0
failures=()

stage_start=$SECONDS
stage_end() { echo "--- $1 took $((SECONDS - stage_start)) s"; stage_start=$SECONDS; }

bash tools/setup.sh || { echo "0 passed, 1 failed"; exit 1; }

# Runs every test of the build in $1 under Xvfb and adds the counts to the
# totals ($2 names the stage). A test that fails runs once more: a sanitizer's
# own leak check has crashed at a process's exit now and then (its thread
# tracer, not our code), and one such crash should not hide a whole run. Every
# test that needed its second run is named in the summary all the same.
run_ctest() {
    local log line total bad again
    log=$(mktemp)
    (cd "$1" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j2 --timeout 600) 2>&1 | tee "$log"
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    if [ -z "$line" ]; then
        failed=$((failed + 1)); failures+=("$2: no result"); rm -f "$log"; return
    fi
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    if [ "$bad" != 0 ]; then
        local first
        first=$(sed -n '/tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' | sed -E 's/^\s+[0-9]+ - ([^ ]+).*/\1/')
        echo "=== $2: running the $bad failed test(s) once more ==="
        (cd "$1" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --rerun-failed --output-on-failure -j1 --timeout 600) 2>&1 | tee "$log"
        line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
        again=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
        [ -n "$again" ] || again=$bad
        for t in $first; do
            sed -n '/tests FAILED:/,$p' "$log" | grep -qE " - $t " || failures+=("$2: $t failed once, passed on its second run")
        done
        bad=$again
    fi
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$bad" = 0 ] || failures+=("$2: $bad failed")
    rm -f "$log"
}

stage_end "set-up and normal build"

echo "=== normal build: all tests under Xvfb ==="
run_ctest build "tests"
stage_end "normal tests"

echo "=== sanitizer build: all tests under ASan and UBSan, under Xvfb ==="
CC=clang CXX=clang++ cmake -S . -B build-asan -DMAZE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
    cmake --build build-asan -j"$(nproc)" >/dev/null 2>build-asan.log || {
        cat build-asan.log; failed=$((failed + 1)); failures+=("sanitizer build"); }
stage_end "sanitizer build"
if [ -x build-asan/maze ] && ls build-asan/maze-tests-* >/dev/null 2>&1; then
    # Every sanitized program the tests start (the game in the end-to-end
    # scripts too) inherits these; a report ends the program with a failure.
    # UBSan checks only the code we compile, so no system library needs a
    # suppression there.
    export ASAN_OPTIONS=detect_leaks=1
    export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_ctest build-asan "sanitizer tests"
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
fi
stage_end "sanitizer tests"

echo "=== fuzz targets, ${fuzz_seconds} s each ==="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DMAZE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build-fuzz -j"$(nproc)" >/dev/null 2>build-fuzz.log || {
        cat build-fuzz.log; failed=$((failed + 1)); failures+=("fuzz build"); }
for fuzzer in build-fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
    # A target may come with a program that writes its seed inputs.
    seeder="build-fuzz/gen_${name#fuzz_}_seeds"
    [ -x "$seeder" ] && "$seeder" "$corpus" >/dev/null
    if "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -close_fd_mask=3 \
            -artifact_prefix="$root/build-fuzz/$name-" "$corpus" > "build-fuzz/$name.log" 2>&1; then
        echo "fuzz $name: ok ($(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "build-fuzz/$name.log" | tail -1))"
        passed=$((passed + 1))
    else
        echo "fuzz $name: FAILED"; tail -40 "build-fuzz/$name.log"
        failed=$((failed + 1)); failures+=("fuzz $name")
    fi
    rm -rf "$corpus"
done
stage_end "fuzz build and targets"

echo
for f in "${failures[@]}"; do echo "noted: $f"; done
if [ "$failed" = 0 ]; then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
