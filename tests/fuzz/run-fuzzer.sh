#!/usr/bin/env bash
# Builds fuzz_meterstream with clang-14 in build-fuzz and runs it for SECONDS
# (default 60) on a copy of the seed corpus. Fails on any crash, leak,
# undefined behaviour or broken invariant; prints libFuzzer's final figures.
#
#   bash tests/fuzz/run-fuzzer.sh [SECONDS]
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${RAVELO_FUZZ_BUILD_DIR:-$root/build-fuzz}"

cmake -S "$root" -B "$build" \
    -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRAVELO_BUILD_FUZZERS=ON -DRAVELO_BUILD_TESTS=ON -DRAVELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_meterstream -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
cp "$root"/tests/fuzz/corpus/* "$work/corpus/"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
unset LSAN_OPTIONS

status=0
"$build/bin/fuzz_meterstream" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" >"$work/log" 2>&1 || status=$?

if grep -q "runtime error:" "$work/log"; then
    echo "fuzz_meterstream: undefined behaviour reported" >&2
    status=1
fi
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log" >&2
    echo "fuzz_meterstream FAILED (exit $status); reproducer:" >&2
    ls -l "$work/artifacts" >&2 || true
    mkdir -p "$build/artifacts"
    cp "$work"/artifacts/* "$build/artifacts/" 2>/dev/null || true
    exit 1
fi
grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::" "$work/log" || true
echo "fuzz_meterstream: no crash, leak or undefined behaviour in ${seconds} s"
