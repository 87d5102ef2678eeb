#!/usr/bin/env bash
# The recorder's CPU per reading with the live page open in a browser, with
# only its event stream read by a client, and with nobody connected: three
# recorders side by side, each with its own simulator, at INTERVAL seconds
# (default 0.1) for SECONDS (default 60), all with --http; Debian's chromium,
# headless, shows the first one's page (its stream, its status once a second,
# its chart's history asked again as it grows), a curl reads /events of the
# second. Prints the CPU time of each (all its threads, from
# /proc/PID/task/*/schedstat), per reading, and the ratios to the third.
# Usage: bench/web/ssecpu.sh [BUILD_DIR] [SECONDS] [INTERVAL]
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
interval=${3:-0.1}
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"' EXIT

# start NAME: a simulator and a recorder serving on a free port; sets
# rec_NAME (its pid) and url_NAME.
start() {
    local name=$1 dir="$work/$1"
    mkdir -p "$dir"
    "$build/bin/ravelo-meter-sim" --rate 20 > "$dir/sim.out" 2> /dev/null &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$dir/sim.out" ] && break; sleep 0.1; done
    "$build/bin/ravelo-record" "$(head -1 "$dir/sim.out")" -i "$interval" -o "$dir/r.csv" -q \
        --http 127.0.0.1:0 2> "$dir/err" &
    local pid=$!
    pids+=($pid)
    for _ in $(seq 50); do grep -qs "live page is at" "$dir/err" && break; sleep 0.1; done
    printf -v "rec_$name" '%s' "$pid"
    printf -v "url_$name" '%s' "$(grep -o 'http://[^ ]*' "$dir/err" | tail -1)"
}

# The CPU nanoseconds of every thread of process $1.
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'
}

rows() { grep -c '^[0-9]' "$work/$1/r.csv" || true; }

start browser
start stream
start none
chromium --headless=new --no-sandbox --disable-gpu --no-first-run --user-data-dir="$work/chromium" \
    --remote-debugging-port=0 "$url_browser" > "$work/chromium.log" 2>&1 &
pids+=($!)
curl -sN "${url_stream}events" -o "$work/events.txt" &
pids+=($!)
sleep 5  # the browser started and the page loaded
c0=$(cpu_ns "$rec_browser"); a0=$(cpu_ns "$rec_stream"); b0=$(cpu_ns "$rec_none")
rc0=$(rows browser); ra0=$(rows stream); rb0=$(rows none)
sleep "$seconds"
c1=$(cpu_ns "$rec_browser"); a1=$(cpu_ns "$rec_stream"); b1=$(cpu_ns "$rec_none")
rc1=$(rows browser); ra1=$(rows stream); rb1=$(rows none)
kill -TERM "$rec_browser" "$rec_stream" "$rec_none"
events=$(grep -c '^event: reading' "$work/events.txt" || true)

awk -v c=$((c1 - c0)) -v a=$((a1 - a0)) -v b=$((b1 - b0)) -v rc=$((rc1 - rc0)) -v ra=$((ra1 - ra0)) \
    -v rb=$((rb1 - rb0)) -v ev="$events" -v s="$seconds" 'BEGIN {
    pc = c / rc / 1000; pa = a / ra / 1000; pb = b / rb / 1000
    printf "over %d s, one reading every %s s\n", s, "'"$interval"'"
    printf "  the page open in chromium: %6d readings, %8.1f ms CPU, %7.1f us per reading\n", rc, c / 1e6, pc
    printf "  a stream client (curl):    %6d readings, %8.1f ms CPU, %7.1f us per reading (%d reading events received)\n", ra, a / 1e6, pa, ev
    printf "  nobody connected:          %6d readings, %8.1f ms CPU, %7.1f us per reading\n", rb, b / 1e6, pb
    printf "  ratio (page / none): %.2f   ratio (stream / none): %.2f\n", pc / pb, pa / pb
}'
