#!/usr/bin/env bash
# The idle cost of a live recorder: ravelo-record at one reading per second
# against the simulator at the meter's rate for SECONDS (default 60); prints
# the CPU seconds it used, that share of one core, per reading, and its peak
# resident memory. Further arguments go to the recorder (such as --influx URL).
# RAVELO_RECORDER names another recorder command, e.g. an arm64 one under the
# emulator (bench/recorder/emulated.sh); the simulator is always BUILD_DIR's.
# Usage: bench/recorder/idle.sh [BUILD_DIR] [SECONDS] [RECORDER OPTION]...
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/bin/ravelo-meter-sim" --rate 3 > "$work/sim.out" 2> /dev/null &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
port=$(head -1 "$work/sim.out")

read -r -a recorder <<< "${RAVELO_RECORDER:-$build/bin/ravelo-record}"
"${recorder[@]}" "$port" --output "$work/r.csv" --quiet --duration "${seconds}s" "$@" 2> "$work/err" &
rec=$!
sleep 1
ticks=$(getconf CLK_TCK)
peak=0
cpu=0
ns=0
while kill -0 $rec 2>/dev/null; do
    if [ -r /proc/$rec/stat ]; then
        read -r -a stat < /proc/$rec/stat || true
        [ ${#stat[@]} -gt 14 ] && cpu=$(( stat[13] + stat[14] ))
        # The same in nanoseconds, summed over the threads alive now: the
        # clock ticks above are too coarse for a recorder that mostly sleeps.
        sum=$(cat /proc/$rec/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
        [ "$sum" -gt "$ns" ] && ns=$sum
        rss=$(awk '/VmHWM/ {print $2}' /proc/$rec/status 2>/dev/null || echo 0)
        [ -n "$rss" ] && [ "$rss" -gt "$peak" ] && peak=$rss
    fi
    sleep 1
done
wait $rec || true
readings=$(grep -vc '^[#S]' "$work/r.csv" || true)
echo "readings: $readings"
awk -v c="$cpu" -v t="$ticks" -v s="$seconds" -v p="$peak" -v ns="$ns" -v n="$readings" 'BEGIN {
    printf "cpu: %.2f s over %d s = %.3f %% of a core (by the scheduler: %.3f s = %.3f %%, %.3f ms per reading); peak resident %.1f MB\n",
        c / t, s, 100 * c / t / s, ns / 1e9, 100 * ns / 1e9 / s, n ? ns / 1e6 / n : 0, p / 1024 }'
