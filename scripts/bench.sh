#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them (not part of CI). The
# Qt ones run twice: on the offscreen platform and under an X server.
# --readme: the results are also kept as JSON and the README's performance
# table is written from them (scripts/perf_table.py).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readme=0
args=()
for a in "$@"; do
  if [ "$a" = "--readme" ]; then readme=1; else args+=("$a"); fi
done
set -- ${args[@]+"${args[@]}"}
results="$root/build/bench/results"
if [ "$readme" = 1 ]; then
  rm -rf "$results"
  mkdir -p "$results"
fi
# The JSON copy of a program's results (only with --readme).
json() {
  if [ "$readme" = 1 ]; then
    echo "--benchmark_out=$results/$1.json" --benchmark_out_format=json
  fi
}
# The GL views render with Mesa's software rasteriser, so images agree everywhere.
export LIBGL_ALWAYS_SOFTWARE=1
bash "$root/scripts/setup.sh"
build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIVANTA_TESTS=OFF -DBRIVANTA_BENCH=ON >/dev/null
cmake --build "$build" -j "${BRIVANTA_JOBS:-$(nproc)}"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  case "$(basename "$b")" in
    # The pipeline run takes a photo and its marks, not benchmark flags.
    fitting_pipeline_bench) continue ;;
    qt_*)
      n="$(basename "$b")"
      # The program's own run prints its stages as text: kept for the table.
      out=/dev/null
      if [ "$readme" = 1 ]; then out="$results/$n.offscreen.txt"; fi
      QT_QPA_PLATFORM=offscreen "$b" $(json "$n.offscreen") "$@" | tee "$out"
      if [ "$readme" = 1 ]; then out="$results/$n.xcb.txt"; fi
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$b" $(json "$n.xcb") "$@" | tee "$out"
      ;;
    *) "$b" $(json "$(basename "$b")") "$@" ;;
  esac
done

# The pipeline on a position-coded photo, then on the portrait fixture: a
# public-domain portrait that Debian ships in scikit-image's data (only the
# package file is fetched and unpacked, nothing is installed).
if [ "$readme" = 1 ]; then
  "$build/bench/fitting_pipeline_bench" | tee "$results/fitting_pipeline_bench.txt"
else
  "$build/bench/fitting_pipeline_bench"
fi
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

if [ "$readme" = 1 ]; then
  python3 "$root/scripts/perf_table.py" --results "$results" --readme "$root/README.md"
  echo "README.md: the performance table was written from $results"
fi
