#!/usr/bin/env bash
# Builds Ravelo with its tests and runs every test.
# Extra arguments go to CMake (for example -DRAVELO_WERROR=ON).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${RAVELO_BUILD_DIR:-$root/build}"

bash "$root/tools/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELO_BUILD_TESTS=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
