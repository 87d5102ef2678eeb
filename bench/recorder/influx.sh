#!/usr/bin/env bash
# ravelo-record writing to InfluxDB 1.x (Debian's influxd, started here on
# free loopback ports with a throw-away data folder). Measures:
#  1. points written per second by --replay of a capture of FRAMES readings
#     (default 200,000; written by recorderbench), wall clock and processor;
#  2. the processor share of a live recorder at 1 reading/s with --influx on,
#     for SECONDS (default 60), through idle.sh;
#  3. the memory a reading takes while it waits for a database that is away:
#     the peak resident memory of a replay of QUEUED readings (default 86,400,
#     a full queue) against a port where nothing listens, less that of the
#     same replay without --influx.
# Usage: bench/recorder/influx.sh [BUILD_DIR] [SECONDS] [FRAMES]
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
frames=${3:-200000}
queued=86400
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
influxd_pid=
trap '[ -n "$influxd_pid" ] && kill $influxd_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
http=$(free_port)
rpc=$(free_port)
cat > "$work/influxdb.conf" <<CONF
reporting-disabled = true
bind-address = "127.0.0.1:$rpc"
[meta]
  dir = "$work/meta"
[data]
  dir = "$work/data"
  wal-dir = "$work/wal"
[http]
  bind-address = "127.0.0.1:$http"
  auth-enabled = false
  log-enabled = false
CONF
influxd -config "$work/influxdb.conf" > "$work/influxd.log" 2>&1 &
influxd_pid=$!
for _ in $(seq 100); do
    [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$http/ping")" = 204 ] && break
    sleep 0.1
done
curl -s -XPOST "http://127.0.0.1:$http/query" --data-urlencode 'q=CREATE DATABASE bench' > /dev/null

# 1. Replay.
"$build/bench/recorder/recorderbench" --frames "$frames" --dir "$work" --keep > /dev/null
/usr/bin/time -f '%e %U %S %M' -o "$work/time" \
    "$build/bin/ravelo-record" --replay "$work/bench.cap" --influx "http://127.0.0.1:$http/bench" --quiet 2> "$work/err"
read -r wall user sys peak < "$work/time"
count=$(curl -s -G "http://127.0.0.1:$http/query" --data-urlencode db=bench \
        --data-urlencode 'q=SELECT count(seq) FROM ravelo' | python3 -c 'import json,sys; print(json.load(sys.stdin)["results"][0]["series"][0]["values"][0][1])')
awk -v n="$frames" -v c="$count" -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN {
    printf "replay into InfluxDB: %d readings, %d in the database; %.0f points/s wall clock, %.0f per second of the recorder'\''s processor time\n", n, c, n / w, n / (u + s) }'

# 2. Live at 1 reading/s.
echo "live, 1 reading/s, InfluxDB on:"
bash "$here/idle.sh" "$build" "$seconds" --influx "http://127.0.0.1:$http/bench"

# 3. Memory per waiting reading.
mkdir -p "$work/q"
"$build/bench/recorder/recorderbench" --frames "$queued" --dir "$work/q" --keep > /dev/null
/usr/bin/time -f '%M' -o "$work/base" "$build/bin/ravelo-record" --replay "$work/q/bench.cap" --quiet 2> /dev/null
/usr/bin/time -f '%M' -o "$work/away" "$build/bin/ravelo-record" --replay "$work/q/bench.cap" --quiet \
    --influx "http://127.0.0.1:$(free_port)/bench" 2> "$work/err" || true
awk -v b="$(tail -1 "$work/base")" -v a="$(tail -1 "$work/away")" -v n="$queued" 'BEGIN {
    printf "database away: %d readings waiting, peak resident %.1f MB against %.1f MB without --influx: %.0f bytes a reading\n", n, a / 1024, b / 1024, (a - b) * 1024 / n }'
