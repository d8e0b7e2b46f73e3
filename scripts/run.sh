#!/usr/bin/env bash
# Installs what is needed, builds the program in release mode and starts it
# in the full work flow (further arguments are passed on, e.g. a .fac file).
# The picture-editor mode, the program's default, needs a picture on the
# clipboard: start build/release/app/brivanta without --full for it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIVANTA_TESTS=OFF >/dev/null
cmake --build "$build" --target brivanta -j "$(nproc)"
exec "$build/app/brivanta" --full "$@"
