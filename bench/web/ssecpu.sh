#!/usr/bin/env bash
# The recorder's CPU per reading with the live page's event stream read by a
# client against with nobody connected: two recorders side by side, each with
# its own simulator, at INTERVAL seconds (default 0.1) for SECONDS (default
# 60), both with --http; a curl reads /events of the first. Prints the CPU
# time of each (all its threads, from /proc/PID/task/*/schedstat), per
# reading, and the ratio.
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

start stream
start none
curl -sN "${url_stream}events" -o "$work/events.txt" &
pids+=($!)
sleep 1
a0=$(cpu_ns "$rec_stream"); b0=$(cpu_ns "$rec_none")
ra0=$(grep -c '^[0-9]' "$work/stream/r.csv" || true); rb0=$(grep -c '^[0-9]' "$work/none/r.csv" || true)
sleep "$seconds"
a1=$(cpu_ns "$rec_stream"); b1=$(cpu_ns "$rec_none")
ra1=$(grep -c '^[0-9]' "$work/stream/r.csv" || true); rb1=$(grep -c '^[0-9]' "$work/none/r.csv" || true)
kill -TERM "$rec_stream" "$rec_none"
events=$(grep -c '^event: reading' "$work/events.txt" || true)

awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) -v ra=$((ra1 - ra0)) -v rb=$((rb1 - rb0)) -v ev="$events" \
    -v s="$seconds" 'BEGIN {
    pa = a / ra / 1000; pb = b / rb / 1000
    printf "over %d s, one reading every %s s\n", s, "'"$interval"'"
    printf "  with a stream client: %6d readings, %8.1f ms CPU, %7.1f us per reading (%d reading events received)\n", ra, a / 1e6, pa, ev
    printf "  nobody connected:     %6d readings, %8.1f ms CPU, %7.1f us per reading\n", rb, b / 1e6, pb
    printf "  ratio (stream / none): %.2f\n", pa / pb
}'
