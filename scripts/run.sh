#!/usr/bin/env bash
# Installs what is needed, builds the program in release mode and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIVANTA_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
exec "$build/app/brivanta" "$@"
