# Throw-away servers for the recorder's benchmarks, sourced by them: a port
# nothing listens on, a mosquitto and an influxd of the benchmark's own on
# 127.0.0.1 with their settings and data in a folder that is removed after.
# The caller kills the processes (their ids are in broker_pid, influxd_pid).

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# start_broker FOLDER [SETTING]...: a mosquitto without persistence, its port
# in broker_port, its id in broker_pid; returns once it accepts connections.
start_broker() {
    local folder=$1
    shift
    broker_port=$(free_port)
    {
        echo "listener $broker_port 127.0.0.1"
        echo "allow_anonymous true"
        echo "persistence false"
        # As root mosquitto would switch to its own user, who cannot read the folder.
        [ "$(id -u)" = 0 ] && echo "user root"
        printf '%s\n' "$@"
    } > "$folder/broker.conf"
    mosquitto -c "$folder/broker.conf" > "$folder/broker.log" 2>&1 &
    broker_pid=$!
    for _ in $(seq 100); do
        grep -q ' running' "$folder/broker.log" && return 0
        kill -0 "$broker_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "mosquitto did not start:" >&2
    cat "$folder/broker.log" >&2
    return 1
}

# start_influxd FOLDER DATABASE [PORT]: an InfluxDB 1.x with DATABASE created,
# its HTTP port (PORT, or a free one) in influx_port, its id in influxd_pid.
start_influxd() {
    local folder=$1 database=$2 rpc
    influx_port=${3:-$(free_port)}
    rpc=$(free_port)
    cat > "$folder/influxdb.conf" <<CONF
reporting-disabled = true
bind-address = "127.0.0.1:$rpc"
[meta]
  dir = "$folder/meta"
[data]
  dir = "$folder/data"
  wal-dir = "$folder/wal"
[http]
  bind-address = "127.0.0.1:$influx_port"
  auth-enabled = false
  log-enabled = false
CONF
    influxd -config "$folder/influxdb.conf" > "$folder/influxd.log" 2>&1 &
    influxd_pid=$!
    for _ in $(seq 100); do
        [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$influx_port/ping")" = 204 ] && break
        sleep 0.1
    done
    curl -sf -XPOST "http://127.0.0.1:$influx_port/query" --data-urlencode "q=CREATE DATABASE $database" > /dev/null
}

# process_usage PID: "CPU-SECONDS PEAK-RESIDENT-KB" of a running process.
process_usage() {
    local stat
    read -r -a stat < "/proc/$1/stat"
    awk -v c=$(( stat[13] + stat[14] )) -v t="$(getconf CLK_TCK)" \
        -v p="$(awk '/VmHWM/ {print $2}' "/proc/$1/status")" 'BEGIN { printf "%.2f %d\n", c / t, p }'
}
