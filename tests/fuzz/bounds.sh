#!/usr/bin/env bash
# Reads every input of up to 64 KB of the fuzz targets' regression seeds and
# corpora once, in the fuzz build, and prints per target the slowest input and
# the highest peak memory. libFuzzer stops at the first input over the limits
# (-timeout, -rss_limit_mb, -malloc_limit_mb), which fails the script.
#   bounds.sh [TARGET...]          (all targets that have inputs when none)
#   FUZZ_BUILD      build folder of scripts/fuzz.sh (build/fuzz)
#   BOUNDS_SECONDS  seconds an input may take (1)
#   BOUNDS_MB       megabytes a run may take at its peak (256)
#   BOUNDS_SOLO     slowest inputs of each target read again alone, with
#                   their own time, processor time and peak (3)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${FUZZ_BUILD:-$root/build/fuzz}"
seconds="${BOUNDS_SECONDS:-1}"
mb="${BOUNDS_MB:-256}"
solo="${BOUNDS_SOLO:-3}"
work="$(mktemp -d "${TMPDIR:-/tmp}/fuzz_bounds.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=16"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for f in "$root"/tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

status=0
printf '%-18s %7s %9s %-40s %8s %s\n' target inputs worst_ms slowest peak_mb solo
for t in "${targets[@]}"; do
  exe="$build/tests/fuzz/$t"
  if [[ ! -x "$exe" ]]; then
    echo "$t: no program $exe"
    status=1
    continue
  fi
  list="$work/$t.list"
  : >"$list"
  for d in "$root/tests/fuzz/regressions/$t" "$build/seeds/$t" "$build"/corpus/"$t".*; do
    [[ -d "$d" ]] && find "$d" -type f -size -65537c >>"$list"
  done
  inputs=$(wc -l <"$list")
  if ((inputs == 0)); then
    echo "$t: no inputs"
    continue
  fi
  # In chunks, so that one process's peak stands for few inputs.
  split -l 400 "$list" "$work/$t.chunk."
  peak=0
  : >"$work/$t.times"
  for chunk in "$work/$t.chunk."*; do
    log="$chunk.log"
    if ! mapfile -t files <"$chunk" ||
      ! /usr/bin/time -f '%M' -o "$chunk.rss" "$exe" -timeout="$seconds" -rss_limit_mb="$mb" \
        -malloc_limit_mb="$mb" -close_fd_mask=1 "${files[@]}" >"$log" 2>&1; then
      echo "$t: over the limits or a finding:"
      tail -n 40 "$log"
      status=1
      continue
    fi
    kb=$(tail -n 1 "$chunk.rss")
    ((kb > peak)) && peak=$kb
    sed -n 's/^Executed \(.*\) in \([0-9]*\) ms$/\2 \1/p' "$log" >>"$work/$t.times"
  done
  sort -rn "$work/$t.times" -o "$work/$t.times"
  read -r worst slowest <"$work/$t.times" || true
  # The slowest few alone: their own time and peak.
  alone=""
  while read -r ms file; do
    /usr/bin/time -f '%U %S %M' -o "$work/solo.rss" "$exe" -timeout="$seconds" -rss_limit_mb="$mb" \
      -malloc_limit_mb="$mb" -close_fd_mask=1 "$file" >"$work/solo.log" 2>&1 || status=1
    again=$(sed -n 's/^Executed .* in \([0-9]*\) ms$/\1/p' "$work/solo.log")
    read -r user sys kb < <(tail -n 1 "$work/solo.rss")
    # the whole process's processor time, start-up included: on a busy
    # machine the clock time of an input says less
    alone+=" ${again:-?}ms/cpu$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')s/$((kb / 1024))MB"
  done < <(head -n "$solo" "$work/$t.times")
  printf '%-18s %7d %9s %-40s %8d%s\n' "$t" "$inputs" "${worst:-?}" "$(basename "${slowest:-?}")" \
    $((peak / 1024)) "$alone"
done
exit "$status"
