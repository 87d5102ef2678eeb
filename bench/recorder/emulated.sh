#!/usr/bin/env bash
# The recorder built for arm64 under qemu beside this machine's own, in one
# run: each records a simulator of its own at the meter's rate (3 frames/s,
# one reading per second) for SECONDS; prints each one's CPU per reading and
# peak resident memory (bench/recorder/idle.sh), and the ratio.
# Usage: bench/recorder/emulated.sh [BUILD_DIR] [ARM64_BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
arm64=${2:-build-arm64}
seconds=${3:-60}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

bash "$here/idle.sh" "$build" "$seconds" > "$out/native" &
native=$!
RAVELO_RECORDER="qemu-aarch64-static $arm64/bin/ravelo-record" bash "$here/idle.sh" "$build" "$seconds" > "$out/arm64" &
emulated=$!
wait $native
wait $emulated
echo "amd64 natively:"; sed 's/^/  /' "$out/native"
echo "arm64 under qemu-aarch64-static:"; sed 's/^/  /' "$out/arm64"
per_reading() { sed -n 's/.*, \([0-9.]*\) ms per reading.*/\1/p' "$1"; }
resident() { sed -n 's/.*peak resident \([0-9.]*\) MB.*/\1/p' "$1"; }
awk -v a="$(per_reading "$out/native")" -v b="$(per_reading "$out/arm64")" \
    -v ra="$(resident "$out/native")" -v rb="$(resident "$out/arm64")" 'BEGIN {
    printf "emulated/native: %.1f x the CPU per reading, %.1f x the resident memory\n", a ? b / a : 0, ra ? rb / ra : 0 }'
