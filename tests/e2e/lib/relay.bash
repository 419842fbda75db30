# relay.bash -- helpers for play through maze-relay, sourced after
# net_env.bash (uses $build, $work, $pids and fail).
#
# The impairment of the measurements: 10% loss, 1% duplication, 40 +- 20 ms
# delay and 1% held back to be overtaken, in both directions.
impair="loss=0.1 dup=0.01 delay=40 jitter=20 reorder=0.01"

# start_relay NAME SECONDS ARGS...: a relay whose counts land in $work/NAME.out.
start_relay() {
    local name=$1 seconds=$2
    shift 2
    "$build/maze-relay" seconds="$seconds" "$@" > "$work/$name.out" 2> "$work/$name.err" &
    pids+=($!)
    for _ in $(seq 50); do grep -qs "^maze-relay: " "$work/$name.err" && return; sleep 0.1; done
    fail "relay $name did not start: $(cat "$work/$name.err")"
}

# start_bots FIRST LAST SECONDS PORT: bots FIRST..LAST in random mode through
# the relay on PORT; their figures land in $work/botN.out, their pids in $bots.
bots=()
start_bots() {
    local i
    for i in $(seq "$1" "$2"); do
        timeout $(($3 + 30)) "$build/maze-bot" 127.0.0.1 seconds="$3" mode=random seed="$i" port="$4" \
            > "$work/bot$i.out" 2> "$work/bot$i.err" &
        bots+=($!)
    done
    pids+=("${bots[@]}")
}

# The resident memory of process $1 in kB.
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# summarise MIN_RATE FILES...: one line of figures over the bots' lines, and
# status 1 when a bot broke a rule: fewer than MIN_RATE bodies a second, a
# stuck key over 500 ms, a duplicate tap, too few keys seen to act, no other
# fighter moving.
summarise() {
    local min_rate=$1
    shift
    awk -v min_rate="$min_rate" '{ for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
           n++; rate += v["rate_hz"]; share += v["applied_share"]; stale += v["stale"]
           pass += v["server_pass_hz"]; med[n] = v["latency_ms_median"]; dup += v["dup_taps"]
           if (v["latency_ms_p99"] > p99) p99 = v["latency_ms_p99"]
           if (v["stuck_ms_max"] > stuck) stuck = v["stuck_ms_max"]
           releases += v["releases"]; taps += v["taps"]; shots += v["shots"]; samples += v["latency_samples"]
           if (v["bullets_max"] > bullets) bullets = v["bullets_max"]
           if (v["explosions_max"] > explosions) explosions = v["explosions_max"]
           if (v["rate_hz"] < min_rate || v["stuck_ms_max"] >= 500 || v["dup_taps"] > 0 ||
               v["latency_samples"] < 3 || v["others_moved"] < 1) bad++ }
         END { for (i = 2; i <= n; i++) for (j = i; j > 1 && med[j - 1] > med[j]; j--) { t = med[j]; med[j] = med[j - 1]; med[j - 1] = t }
               m = n % 2 ? med[(n + 1) / 2] : (med[n / 2] + med[n / 2 + 1]) / 2
               printf "%d bots: %.1f bodies/s per client, %.1f%% applied, %d stale refused, server pass %.1f/s, " \
                      "key-to-state latency median %.1f ms (median of bots), p99 %.1f ms (worst bot), %d samples, " \
                      "stuck after release max %.1f ms over %d releases, %d taps, %d shots, %d duplicate taps, " \
                      "bullets max %d, client explosions max %d\n",
                      n, rate / n, 100 * share / n, stale, pass / n, m, p99, samples, stuck, releases, taps, shots,
                      dup, bullets, explosions
               exit (n == 0 || bad > 0) }' "$@"
}

# check_relay FILE: the relay's loss and duplication in both directions lie
# within the settings' tolerance.
check_relay() {
    awk '{ for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
           split("up down", dirs, " ")
           for (k = 1; k <= 2; k++) {
               d = dirs[k]; lost = v[d "_lost"] / v[d "_in"]; dup = v[d "_duplicated"] / v[d "_in"]
               printf "relay %s: in %d, lost %.4f, duplicated %.4f, overtaken %d\n", d, v[d "_in"], lost, dup, v[d "_overtaken"]
               if (!(lost > 0.06 && lost < 0.14 && dup < 0.03)) bad++ }
           exit bad > 0 }' "$1" || fail "the relay did not lose 10% and duplicate 1% both ways"
}
