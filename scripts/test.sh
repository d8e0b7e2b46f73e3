#!/usr/bin/env bash
# Installs what is needed, builds everything with the sanitizers and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The GL views render with Mesa's software rasteriser, so images agree everywhere.
export LIBGL_ALWAYS_SOFTWARE=1
bash "$root/scripts/setup.sh"
build="$root/build/test"
jobs="$(nproc)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBRIVANTA_SANITIZE=ON -DBRIVANTA_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"
# The real portrait some tests use (they are skipped without it).
bash "$root/scripts/portrait.sh" "$build/fixtures" || true
cd "$build"
# The Qt backend's tests (tests/qt) run under Qt's offscreen platform and
# again under an X server started by xvfb-run, one X server at a time; both
# are CTest tests. A display of the caller's is not used.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
ctest --output-on-failure -j "$jobs" --timeout 600

# The decoders' fuzz targets run for a short time each (clang, libFuzzer).
bash "$root/scripts/fuzz.sh"
