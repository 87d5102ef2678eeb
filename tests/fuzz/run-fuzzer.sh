#!/usr/bin/env bash
# Builds the fuzzers with clang-14 in build-fuzz and runs them for SECONDS in
# all (default 60): two thirds for fuzz_meterstream (the meter's byte stream),
# one third for fuzz_journalreader (journal files opened in the window), each
# on a copy of its seed corpus. Fails on any crash, leak, undefined behaviour
# or broken invariant; prints libFuzzer's final figures.
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
cmake --build "$build" --target fuzz_meterstream fuzz_journalreader -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
unset LSAN_OPTIONS

# run_fuzzer NAME CORPUS SECONDS MAX_LEN
run_fuzzer() {
    local name="$1" corpus="$2" time="$3" max_len="$4"
    local dir="$work/$name"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp "$root/tests/fuzz/$corpus"/* "$dir/corpus/"
    local status=0
    "$build/bin/$name" \
        -max_total_time="$time" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
        "$dir/corpus" >"$dir/log" 2>&1 || status=$?

    if grep -q "runtime error:" "$dir/log"; then
        echo "$name: undefined behaviour reported" >&2
        status=1
    fi
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$dir/log" >&2
        echo "$name FAILED (exit $status); reproducer:" >&2
        ls -l "$dir/artifacts" >&2 || true
        mkdir -p "$build/artifacts"
        cp "$dir"/artifacts/* "$build/artifacts/" 2>/dev/null || true
        exit 1
    fi
    grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::" "$dir/log" || true
    echo "$name: no crash, leak or undefined behaviour in ${time} s"
}

stream_seconds=$(( seconds * 2 / 3 ))
run_fuzzer fuzz_meterstream corpus "$stream_seconds" 4096
run_fuzzer fuzz_journalreader corpus-journal "$(( seconds - stream_seconds ))" 4096
