#!/usr/bin/env bash
# The processor a live recorder (1 reading/s) uses while its MQTT broker or
# InfluxDB database is away, state by state, for two recorders side by side
# in one run (figures differ 2-3x between machines and with load): BUILD_DIR's
# and OTHER, another build's ravelo-record (say the one before a change).
# Each state lasts SECONDS (default 60: past the 40 s of silence after which
# a frozen broker's connection is given up, with attempts to connect again);
# each recorder has its own simulator.
#   refused       nothing listens on the port
#   frozen        the server stopped with SIGSTOP, its sockets open
#   killed        the server killed with SIGKILL after the recorder connected
#   other speech  the port speaks the other protocol: a TLS broker where
#                 mqtt:// connects, a plain one where mqtts:// does, an MQTT
#                 broker where --influx writes (replaced after the connection)
# Prints one line per state: the share of a core of each recorder over the
# state, by the scheduler's count of its threads' time.
# Usage: bench/recorder/outages.sh [BUILD_DIR] OTHER [SECONDS]
set -euo pipefail
build=${1:-build}
other=${2:?the other ravelo-record to compare with}
seconds=${3:-60}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/servers.sh"
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill -CONT $p 2>/dev/null; kill $p 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT

# A certificate authority and the brokers' certificate for 127.0.0.1.
(cd "$work" &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=bench CA" &&
    openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=127.0.0.1 &&
    echo "subjectAltName=IP:127.0.0.1" > san.cnf &&
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 \
        -extfile san.cnf) > /dev/null 2>&1
tls_settings=("cafile $work/ca.pem" "certfile $work/server.pem" "keyfile $work/server.key")

# broker FOLDER PORT TLS: a mosquitto on PORT, plain or TLS; its id in broker_pid.
broker() {
    local folder=$1 port=$2 tls=$3
    mkdir -p "$folder"
    {
        echo "listener $port 127.0.0.1"
        echo "allow_anonymous true"
        echo "persistence false"
        [ "$(id -u)" = 0 ] && echo "user root"
        [ "$tls" = tls ] && printf '%s\n' "${tls_settings[@]}"
    } > "$folder/broker.conf"
    mosquitto -c "$folder/broker.conf" > "$folder/broker.log" 2>&1 &
    broker_pid=$!
    pids+=($broker_pid)
    for _ in $(seq 100); do
        grep -qs ' running' "$folder/broker.log" && return 0
        sleep 0.1
    done
    echo "mosquitto did not start" >&2
    return 1
}

# start_recorder FOLDER RECORDER OPTION...: the recorder and its simulator;
# the recorder's id in recorder_pid.
start_recorder() {
    local folder=$1 program=$2
    shift 2
    mkdir -p "$folder"
    "$build/bin/ravelo-meter-sim" --rate 3 > "$folder/sim.out" 2> /dev/null &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$folder/sim.out" ] && break; sleep 0.1; done
    "$program" "$(head -1 "$folder/sim.out")" --quiet "$@" 2> "$folder/err" &
    recorder_pid=$!
    pids+=($recorder_pid)
}

# The nanoseconds of processor time of a process's threads so far.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }

# share PID FROM_NS: the share of a core since FROM_NS over $seconds, or how it ended.
share() {
    if kill -0 "$1" 2>/dev/null; then
        awk -v a="$2" -v b="$(cpu_ns "$1")" -v s="$seconds" 'BEGIN { printf "%.3f %%", 100 * (b - a) / 1e9 / s }'
    else
        local status=0
        wait "$1" || status=$?
        echo "ended ($status)"
    fi
}

# state LABEL KIND OUTPUT TLS: both recorders through one outage.
# KIND: refused, frozen, killed, other; OUTPUT: mqtt, influx.
state() {
    local label=$1 kind=$2 output=$3 tls=$4 dir port url old new old_from new_from
    dir=$work/$(echo "$label" | tr -c 'a-zA-Z0-9' _)
    port=$(free_port)
    local server=
    if [ "$kind" != refused ]; then
        if [ "$output" = mqtt ]; then
            broker "$dir/server" "$port" "$tls"
            server=$broker_pid
        else
            mkdir -p "$dir/server"
            start_influxd "$dir/server" bench "$port"
            pids+=($influxd_pid)
            server=$influxd_pid
        fi
    fi
    local scheme=mqtt options=()
    [ "$tls" = tls ] && scheme=mqtts && options=(--mqtt-ca "$work/ca.pem")
    if [ "$output" = mqtt ]; then
        options=(--mqtt "$scheme://127.0.0.1:$port/bench" "${options[@]}")
    else
        options=(--influx "http://127.0.0.1:$port/bench")
    fi
    start_recorder "$dir/old" "$other" "${options[@]}" --name old
    old=$recorder_pid
    start_recorder "$dir/new" "$build/bin/ravelo-record" "${options[@]}" --name new
    new=$recorder_pid
    sleep 6 # connected, or started and told
    case $kind in
    frozen) kill -STOP "$server" ;;
    killed) kill -KILL "$server" ;;
    other)
        kill -KILL "$server"
        wait "$server" 2>/dev/null || true
        if [ "$output" = mqtt ]; then
            # The other protocol on the same port.
            broker "$dir/other" "$port" "$([ "$tls" = tls ] && echo plain || echo tls)"
        else
            broker "$dir/other" "$port" plain
        fi
        ;;
    esac
    old_from=$(cpu_ns "$old")
    new_from=$(cpu_ns "$new")
    sleep "$seconds"
    printf '%-34s %16s %16s\n' "$label" "$(share "$old" "$old_from")" "$(share "$new" "$new_from")"
    [ "$kind" = frozen ] && kill -CONT "$server"
    for p in "${pids[@]}"; do kill -CONT $p 2>/dev/null || true; kill $p 2>/dev/null || true; done
    wait 2>/dev/null || true
    pids=()
}

echo "processor share of a core through $seconds s of each outage, 1 reading/s"
echo "(other: $other; this: $build/bin/ravelo-record):"
printf '%-34s %16s %16s\n' "outage" "other" "this"
state "MQTT refused" refused mqtt plain
state "MQTT frozen" frozen mqtt plain
state "MQTT killed" killed mqtt plain
state "MQTT other speech (TLS port)" other mqtt plain
state "MQTT TLS refused" refused mqtt tls
state "MQTT TLS frozen" frozen mqtt tls
state "MQTT TLS killed" killed mqtt tls
state "MQTT TLS other speech (plain)" other mqtt tls
state "InfluxDB refused" refused influx plain
state "InfluxDB frozen" frozen influx plain
state "InfluxDB killed" killed influx plain
state "InfluxDB other speech (MQTT)" other influx plain
