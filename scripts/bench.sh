#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them (not part of CI). The
# Qt ones run twice: on the offscreen platform and under an X server.
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
  case "$(basename "$b")" in
    # The pipeline run takes a photo and its marks, not benchmark flags.
    fitting_pipeline_bench) continue ;;
    qt_*)
      QT_QPA_PLATFORM=offscreen "$b" "$@"
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$b" "$@"
      ;;
    *) "$b" "$@" ;;
  esac
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
