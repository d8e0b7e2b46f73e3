#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them (not part of CI). The
# Qt ones run twice: on the offscreen platform and under an X server.
# --readme: the results are also kept as JSON and the README's performance
# table is written from them (scripts/perf_table.py).
# --base REV: the same benchmarks of the revision REV (built from its own
# copy of the sources under build/bench-base) run too, each program right
# before this tree's, and the table shows both ("before" and "after").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readme=0
base=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --readme) readme=1 ;;
    --base) base="$2"; shift ;;
    --base=*) base="${1#--base=}" ;;
    *) args+=("$1") ;;
  esac
  shift
done
set -- ${args[@]+"${args[@]}"}
results="$root/build/bench/results"
if [ "$readme" = 1 ]; then
  rm -rf "$results"
  mkdir -p "$results"
  if [ -n "$base" ]; then mkdir -p "$results/before"; fi
fi
# The JSON copy of a program's results (only with --readme) in folder $1.
json() {
  if [ "$readme" = 1 ]; then
    echo "--benchmark_out=$1/$2.json" --benchmark_out_format=json
  fi
}
# The GL views render with Mesa's software rasteriser, so images agree everywhere.
export LIBGL_ALWAYS_SOFTWARE=1
# Every benchmark program runs on one core (BRIVANTA_BENCH_CPU, the last one by
# default), so that figures of one run compare; the builds use them all.
pin=()
if command -v taskset >/dev/null; then
  cpu="${BRIVANTA_BENCH_CPU:-$(( $(nproc) - 1 ))}"
  pin=(taskset -c "$cpu")
fi
bash "$root/scripts/setup.sh"
configure() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DBRIVANTA_TESTS=OFF -DBRIVANTA_BENCH=ON >/dev/null
  cmake --build "$2" -j "${BRIVANTA_JOBS:-$(nproc)}"
}
build="$root/build/bench"
configure "$root" "$build"
builds=("$build")
outs=("$results")
if [ -n "$base" ]; then
  # The base revision from its own copy of the sources (no worktree of this
  # repository is touched).
  src="$root/build/bench-base/src"
  rm -rf "$src"
  mkdir -p "$src"
  git -C "$root" archive "$base" | tar -x -C "$src"
  configure "$src" "$root/build/bench-base/build"
  builds=("$root/build/bench-base/build" "$build")
  outs=("$results/before" "$results")
fi
if [ "$readme" = 1 ]; then
  { date -u +%FT%TZ; cat /proc/loadavg; } > "$results/loadavg.txt"
  if [ ${#pin[@]} -gt 0 ]; then echo "$cpu" > "$results/pinned.txt"; fi
fi
# One benchmark program of build $1, its results into $2.
run_program() {
  local b="$1/bench/$3" out="$2" n="$3"
  shift 3
  [ -x "$b" ] || return 0
  case "$n" in
    qt_*)
      # The program's own run prints its stages as text: kept for the table.
      local text=/dev/null
      if [ "$readme" = 1 ]; then text="$out/$n.offscreen.txt"; fi
      QT_QPA_PLATFORM=offscreen ${pin[@]+"${pin[@]}"} "$b" $(json "$out" "$n.offscreen") "$@" | tee "$text"
      if [ "$readme" = 1 ]; then text="$out/$n.xcb.txt"; fi
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" ${pin[@]+"${pin[@]}"} "$b" $(json "$out" "$n.xcb") "$@" | tee "$text"
      ;;
    flow_bench)
      # The peak memory of the whole flow at 4096 is that of a process of its own.
      ${pin[@]+"${pin[@]}"} "$b" $(json "$out" "$n") --benchmark_filter=-FullFlowAt4096 "$@"
      ${pin[@]+"${pin[@]}"} "$b" $(json "$out" "$n.peak") --benchmark_filter=FullFlowAt4096 "$@"
      ;;
    *) ${pin[@]+"${pin[@]}"} "$b" $(json "$out" "$n") "$@" ;;
  esac
}
for p in "$build"/bench/*_bench; do
  [ -x "$p" ] || continue
  n="$(basename "$p")"
  # The pipeline run takes a photo and its marks, not benchmark flags.
  [ "$n" = fitting_pipeline_bench ] && continue
  for k in "${!builds[@]}"; do run_program "${builds[$k]}" "${outs[$k]}" "$n" "$@"; done
done

# The pipeline on a position-coded photo, then on the portrait fixture: a
# public-domain portrait that Debian ships in scikit-image's data (only the
# package file is fetched and unpacked, nothing is installed).
for k in "${!builds[@]}"; do
  if [ "$readme" = 1 ]; then
    ${pin[@]+"${pin[@]}"} "${builds[$k]}/bench/fitting_pipeline_bench" | tee "${outs[$k]}/fitting_pipeline_bench.txt"
  else
    ${pin[@]+"${pin[@]}"} "${builds[$k]}/bench/fitting_pipeline_bench"
  fi
done
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
  for k in "${!builds[@]}"; do
    ${pin[@]+"${pin[@]}"} "${builds[$k]}/bench/fitting_pipeline_bench" "$photo" "$root/bench/data/astronaut_marks.txt"
  done
fi

if [ "$readme" = 1 ]; then
  cat /proc/loadavg >> "$results/loadavg.txt"
  before=()
  if [ -n "$base" ]; then before=(--before "$results/before" --base-name "$base"); fi
  python3 "$root/scripts/perf_table.py" --results "$results" ${before[@]+"${before[@]}"} --readme "$root/README.md"
  echo "README.md: the performance table was written from $results"
fi
