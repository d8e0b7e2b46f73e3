#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them (not part of CI).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The GL views render with Mesa's software rasteriser, so images agree everywhere.
export LIBGL_ALWAYS_SOFTWARE=1
bash "$root/scripts/setup.sh"
build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIVANTA_TESTS=OFF -DBRIVANTA_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
for b in "$build"/bench/*_bench; do [ -x "$b" ] && "$b" "$@"; done
