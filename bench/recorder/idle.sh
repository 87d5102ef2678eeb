#!/usr/bin/env bash
# The idle cost of a live recorder: ravelo-record at one reading per second
# against the simulator at the meter's rate for SECONDS (default 60); prints
# the CPU seconds it used, that share of one core, and its peak resident memory.
# Further arguments go to the recorder (such as --influx URL).
# RAVELO_RECORDER names another recorder command, e.g. an arm64 one under the
# emulator (bench/recorder/emulated.sh); the simulator is always BUILD_DIR's.
# With --compare instead, four recorders run side by side, each with its own
# simulator: with neither output on, with --influx, with --mqtt and with both,
# into a mosquitto and an influxd started here.
# Usage: bench/recorder/idle.sh [BUILD_DIR] [SECONDS] [RECORDER OPTION]...
#        bench/recorder/idle.sh [BUILD_DIR] [SECONDS] --compare
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
here=$(cd "$(dirname "$0")" && pwd)
source "$here/servers.sh"
work=$(mktemp -d)
broker_pid=
influxd_pid=
trap '[ -n "$broker_pid" ] && kill $broker_pid; [ -n "$influxd_pid" ] && kill $influxd_pid; wait; rm -rf "$work"' EXIT

# measure FOLDER [RECORDER OPTION]...: one recorder and its simulator; the
# figures on standard output.
measure() {
    local dir=$1 sim rec sum rss stat
    shift
    mkdir -p "$dir"
    "$build/bin/ravelo-meter-sim" --rate 3 > "$dir/sim.out" 2> /dev/null &
    sim=$!
    for _ in $(seq 50); do [ -s "$dir/sim.out" ] && break; sleep 0.1; done

    local recorder
    read -r -a recorder <<< "${RAVELO_RECORDER:-$build/bin/ravelo-record}"
    "${recorder[@]}" "$(head -1 "$dir/sim.out")" --output "$dir/r.csv" --quiet \
        --duration "${seconds}s" "$@" 2> "$dir/err" &
    rec=$!
    sleep 1
    local ticks peak=0 cpu=0 ns=0 status=0 now first_ns= first_at= last_at=
    ticks=$(getconf CLK_TCK)
    while kill -0 $rec 2>/dev/null; do
        if [ -r /proc/$rec/stat ]; then
            read -r -a stat < /proc/$rec/stat || true
            [ ${#stat[@]} -gt 14 ] && cpu=$(( stat[13] + stat[14] ))
            # The same in nanoseconds, summed over the threads alive now: the
            # clock ticks above are too coarse for a recorder that mostly sleeps.
            sum=$(cat /proc/$rec/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
            [ "$sum" -gt "$ns" ] && ns=$sum
            now=$(date +%s.%N)
            [ -z "$first_at" ] && first_ns=$ns first_at=$now
            last_at=$now
            rss=$(awk '/VmHWM/ {print $2}' /proc/$rec/status 2>/dev/null || echo 0)
            [ -n "$rss" ] && [ "$rss" -gt "$peak" ] && peak=$rss
        fi
        sleep 1
    done
    wait $rec || status=$?
    kill $sim 2>/dev/null || true
    wait $sim 2>/dev/null || true
    local readings
    readings=$(grep -vc '^[#S]' "$dir/r.csv" || true)
    echo "readings: $readings"
    awk -v c="$cpu" -v t="$ticks" -v s="$seconds" -v p="$peak" -v ns="$ns" -v n="$readings" 'BEGIN {
        printf "cpu: %.2f s over %d s = %.3f %% of a core (by the scheduler: %.3f s = %.3f %%, %.3f ms per reading); peak resident %.1f MB\n",
            c / t, s, 100 * c / t / s, ns / 1e9, 100 * ns / 1e9 / s, n ? ns / 1e6 / n : 0, p / 1024 }'
    # Without the start (loading, connecting): from the first second to the last.
    awk -v a="${first_ns:-0}" -v b="$ns" -v from="${first_at:-0}" -v to="${last_at:-0}" 'BEGIN {
        if (to - from >= 1)
            printf "steady: %.3f s over the last %.0f s = %.3f %% of a core\n", (b - a) / 1e9, to - from, 100 * (b - a) / 1e9 / (to - from) }'
    if [ $status -ne 0 ]; then
        echo "ravelo-record ended with status $status:"
        cat "$dir/err"
    fi
}

if [ "${1:-}" != --compare ]; then
    measure "$work/one" "$@"
    exit 0
fi

start_broker "$work"
start_influxd "$work" bench
mqtt="mqtt://127.0.0.1:$broker_port/bench"
influx="http://127.0.0.1:$influx_port/bench"
labels=("neither output" "--influx" "--mqtt" "--mqtt and --influx")
measure "$work/0" > "$work/0.out" &
runs=($!)
measure "$work/1" --influx "$influx" --name influx-only > "$work/1.out" &
runs+=($!)
measure "$work/2" --mqtt "$mqtt" --name mqtt-only > "$work/2.out" &
runs+=($!)
measure "$work/3" --mqtt "$mqtt" --influx "$influx" --name both > "$work/3.out" &
runs+=($!)
wait "${runs[@]}"
echo "live, 1 reading/s for $seconds s, side by side:"
for i in 0 1 2 3; do
    echo "${labels[$i]}:"
    sed 's/^/  /' "$work/$i.out"
done
