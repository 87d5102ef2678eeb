#!/usr/bin/env bash
# A lab of METERS meters (default 50) on one MQTT broker: each meter is a
# simulator replaying the same capture at twice its speed on a terminal of its
# own, each read by its own ravelo-record taking READINGS readings (default
# 200) at 10 a second and publishing them to one mosquitto under lab/mNN/.
# One mosquitto_sub listens to lab/+/reading. Passes when every meter's
# journal holds readings 1..READINGS and exactly the same reading numbers
# arrived on its topic; prints the processor time and peak resident memory of
# the broker and of the recorders. Exit status 1 when a reading is missing.
# Usage: bench/recorder/scale.sh [BUILD_DIR] [METERS] [READINGS]
set -euo pipefail
build=${1:-build}
meters=${2:-50}
readings=${3:-200}
interval=0.1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/servers.sh"
work=$(mktemp -d)
broker_pid=
pids=()
cleanup() {
    for pid in "${pids[@]}" $broker_pid; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
start=$(date +%s.%N)

# A capture of 1,200 frames, one every 100 ms: a minute at the meter's pace,
# 30 s at twice that, longer than a recorder's run.
"$build/bench/recorder/recorderbench" --frames 1200 --dir "$work" --keep > /dev/null

# Subscribers of a broker's default queue limit (1,000 messages) would lose
# messages when the machine is busy; the readings under test are the recorders'.
start_broker "$work" "max_queued_messages 0"
probe=scale/probe
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -q 1 -v -t 'lab/+/reading' -t "$probe" > "$work/arrived" 2> "$work/sub.err" &
pids+=($!)
for _ in $(seq 50); do
    mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -t "$probe" -m ready
    grep -q "^$probe ready" "$work/arrived" && break
    sleep 0.1
done
grep -q "^$probe ready" "$work/arrived" || { echo "mosquitto_sub did not subscribe" >&2; exit 1; }

# One simulator and its recorder after the other: a simulator's replay
# starts when its recorder opens the terminal.
recorders=()
started=$(date +%s.%N)
for i in $(seq -f '%02g' 1 "$meters"); do
    "$build/bin/ravelo-meter-sim" --replay "$work/bench.cap" --speed 2 > "$work/sim$i.out" 2> /dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/sim$i.out" ] && break; sleep 0.05; done
    /usr/bin/time -f '%e %U %S %M' -o "$work/m$i.time" \
        "$build/bin/ravelo-record" "$(head -1 "$work/sim$i.out")" --interval "$interval" --count "$readings" \
        --name "m$i" --mqtt "mqtt://127.0.0.1:$broker_port/lab" --quiet --output "$work/m$i.csv" \
        2> "$work/m$i.err" &
    recorders+=($!)
    pids+=($!)
done

# Bounded: each run takes READINGS intervals; allow as much again and 15 s.
limit=$(awk -v n="$readings" -v i="$interval" 'BEGIN { print int(2 * n * i + 15) }')
failed=0
deadline=$(( $(date +%s) + limit ))
for i in "${!recorders[@]}"; do
    pid=${recorders[$i]}
    while kill -0 "$pid" 2>/dev/null && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.2; done
    if kill -0 "$pid" 2>/dev/null; then
        echo "m$(printf %02d $((i + 1))): still running after $limit s" >&2
        failed=1
    elif ! wait "$pid"; then
        echo "m$(printf %02d $((i + 1))): ravelo-record failed:" >&2
        cat "$work/m$(printf %02d $((i + 1))).err" >&2
        failed=1
    fi
done
ended=$(date +%s.%N)

# What left every recorder reached the broker before it ended; give the
# subscriber a moment to write the last of it.
expected=$(cat "$work"/m*.csv 2>/dev/null | grep -c '^[0-9]' || true)
for _ in $(seq 50); do
    [ "$(grep -c '/reading ' "$work/arrived" || true)" -ge "$expected" ] && break
    sleep 0.2
done
read -r broker_cpu broker_peak <<< "$(process_usage "$broker_pid")"

python3 - "$work" "$meters" "$readings" <<'CHECK' || failed=1
import collections, csv, json, sys
work, meters, readings = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
arrived = collections.defaultdict(list)
with open(f"{work}/arrived", encoding="utf-8") as lines:
    for line in lines:
        topic, _, payload = line.rstrip("\n").partition(" ")
        if topic.endswith("/reading"):
            arrived[topic.split("/")[1]].append(json.loads(payload)["seq"])
bad = 0
total = 0
for i in range(1, meters + 1):
    name = f"m{i:02d}"
    try:
        with open(f"{work}/{name}.csv", encoding="utf-8", newline="") as journal:
            rows = list(csv.reader(journal))[1:]
    except OSError as error:
        print(f"{name}: no journal: {error}")
        bad += 1
        continue
    numbers = [int(row[0]) for row in rows if row and not row[0].startswith("#")]
    seqs = arrived.get(name, [])
    total += len(seqs)
    missing = sorted(set(numbers) - set(seqs))
    extra = sorted(set(seqs) - set(numbers))
    if len(numbers) != readings or missing or extra or len(seqs) != len(numbers):
        bad += 1
        print(f"{name}: {len(numbers)} readings in the journal, {len(seqs)} arrived"
              f" ({len(set(seqs))} different); missing {missing[:10]}, not in the journal {extra[:10]}")
print(f"readings: {readings} a meter expected, {total} arrived for {meters} meters;"
      f" {meters - bad} meters complete, {bad} not")
sys.exit(1 if bad else 0)
CHECK

echo "each recorder: processor seconds, peak resident MB"
for f in "$work"/m*.time; do echo "$(basename "$f" .time) $(tail -1 "$f")"; done | awk '
    { printf "%s  %s %.2f s %4.1f MB", NR % 5 == 1 ? "" : "   ", $1, $3 + $4, $5 / 1024 }
    NR % 5 == 0 { print "" } END { if (NR % 5) print "" }'
for f in "$work"/m*.time; do tail -1 "$f"; done | awk -v b="$broker_cpu" -v bp="$broker_peak" \
    -v run="$(awk -v a="$started" -v b="$ended" 'BEGIN { print b - a }')" '
    { wall = $1; cpu = $2 + $3; share = 100 * cpu / wall
      n++; sum += share; if (n == 1 || share < lo) lo = share; if (share > hi) hi = share
      if (n == 1 || $4 < plo) plo = $4; if ($4 > phi) phi = $4; cpus += cpu }
    END {
      printf "recorders: %d, processor %.1f to %.1f %% of a core each (mean %.1f %%, %.2f s in all); peak resident %.1f to %.1f MB\n",
             n, lo, hi, sum / n, cpus, plo / 1024, phi / 1024
      printf "broker: processor %.2f s over %.0f s of recording = %.1f %% of a core; peak resident %.1f MB\n",
             b, run, 100 * b / run, bp / 1024 }'
echo "scale test took $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }') s"
exit $failed
