#!/usr/bin/env bash
# Builds Ravelo and starts it together with the bundled meter simulator.
# In Ravelo: Set up > Serial port settings, pick the simulator's port (listed
# after the system's ports), OK, then File > Open the serial port.
# Arguments go to the simulator (see: build/bin/ravelo-meter-sim --help).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${RAVELO_BUILD_DIR:-$root/build}"

bash "$root/tools/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target ravelo ravelo-meter-sim

for arg in "$@"; do
    case "$arg" in
        -h|--help|--help-all|--list-scenarios) exec "$build/bin/ravelo-meter-sim" "$@" ;;
    esac
done

sim_out="$(mktemp)"
"$build/bin/ravelo-meter-sim" "$@" >"$sim_out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -f "$sim_out"' EXIT

port=""
for _ in $(seq 100); do
    port="$(head -n 1 "$sim_out" 2>/dev/null || true)"
    [ -n "$port" ] && break
    kill -0 "$sim" 2>/dev/null || { echo "the meter simulator did not start" >&2; exit 1; }
    sleep 0.1
done
[ -n "$port" ] || { echo "the meter simulator did not report its port" >&2; exit 1; }
echo "Meter simulator on $port"

RAVELO_EXTRA_PORTS="$port${RAVELO_EXTRA_PORTS:+:$RAVELO_EXTRA_PORTS}" "$build/bin/ravelo"
