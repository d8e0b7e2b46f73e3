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
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  # The pipeline run takes a photo and its marks, not benchmark flags.
  [ "$(basename "$b")" = fitting_pipeline_bench ] && continue
  "$b" "$@"
done

# The pipeline on a position-coded photo, then on the portrait fixture: a
# public-domain portrait that Debian ships in scikit-image's data (only the
# package file is fetched and unpacked, nothing is installed).
"$build/bench/fitting_pipeline_bench"
fixtures="$build/fixtures"
photo="$fixtures/astronaut.png"
if [ ! -f "$photo" ]; then
  mkdir -p "$fixtures"
  if (cd "$fixtures" && apt-get download python3-skimage >/dev/null 2>&1 &&
      dpkg-deb -x python3-skimage_*.deb unpacked &&
      cp unpacked/usr/lib/python3/dist-packages/skimage/data/astronaut.png .); then
    :
  else
    echo "the portrait fixture could not be fetched: its pipeline run is skipped"
  fi
  rm -rf "$fixtures"/unpacked "$fixtures"/python3-skimage_*.deb
fi
if [ -f "$photo" ]; then
  "$build/bench/fitting_pipeline_bench" "$photo" "$root/bench/data/astronaut_marks.txt"
fi
