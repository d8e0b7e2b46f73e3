#!/usr/bin/env bash
# Builds the readers' fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in their own build folder and runs each for a
# short time, a few at once, twice: with the plain settings and with value
# profiles and no growing length limit (-use_value_profile=1 -len_control=0,
# which reach deeper comparisons). Every run starts from small files of each
# format and the worst inputs found so far (tests/fuzz/regressions/<target>);
# it may take at most 256 MB and 25 s an input. Any finding fails the script.
#   FUZZ_SECONDS  seconds per target and setting (20)
#   FUZZ_PROFILE_SECONDS  seconds of the value-profile setting (FUZZ_SECONDS)
#   FUZZ_TIMEOUT  seconds an input may take (25; long runs on a quiet machine: 1)
#   FUZZ_MAX_LEN  longest input (8192 for pictures, 65536 for the files)
#   FUZZ_SLOW     inputs taking this many seconds or more are kept as slow
#                 units in the findings folder, without failing (10)
#   FUZZ_JOBS     runs at once (6, at most the number of cores)
#   FUZZ_BUILD    build folder (build/fuzz)
#   FUZZ_BUILD_JOBS  jobs of the build (the number of cores)
#   FUZZ_ONLY     the targets to run (all when empty)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
build="${FUZZ_BUILD:-$root/build/fuzz}"
seconds="${FUZZ_SECONDS:-20}"
profile_seconds="${FUZZ_PROFILE_SECONDS:-$seconds}"
cores="$(nproc)"
jobs="${FUZZ_JOBS:-$((cores < 6 ? cores : 6))}"
targets=(inflate_fuzz png_fuzz jpeg_fuzz tiff_fuzz gif_fuzz tga_fuzz pcx_fuzz pgm_fuzz pict_fuzz metafile_fuzz
  bmp_fuzz anypic_fuzz bmppic_fuzz icon_fuzz layout_fuzz daz_fuzz featuretable_fuzz settings_fuzz)
# The file formats of the application, with longer inputs.
file_targets=(fac_fuzz the_fuzz phs_fuzz obj_fuzz)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBRIVANTA_SANITIZE=ON -DBRIVANTA_FUZZ=ON -DBRIVANTA_TESTS=OFF \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build" -j "${FUZZ_BUILD_JOBS:-$(nproc)}" --target "${targets[@]}" "${file_targets[@]}" file_seeds

# Seeds: small valid files of each format, so that the fuzzers start deep.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
for t in "${targets[@]}" "${file_targets[@]}"; do mkdir -p "$seeds/$t"; done
"$build/tests/fuzz/file_seeds" "$seeds"
convert=/usr/bin/convert
src="$seeds/src.ppm"
"$convert" -size 9x7 gradient:red-blue "$src"
"$convert" "$src" "$seeds/png_fuzz/a.png"
"$convert" "$src" -interlace PNG -colors 16 "$seeds/png_fuzz/b.png"
"$convert" "$src" -quality 80 "$seeds/jpeg_fuzz/a.jpg"
"$convert" "$src" -interlace Plane "$seeds/jpeg_fuzz/b.jpg"
"$convert" "$src" -compress LZW "$seeds/tiff_fuzz/a.tif"
"$convert" "$src" -colors 8 "$seeds/tiff_fuzz/b.tif"
"$convert" "$src" -colors 16 "$seeds/gif_fuzz/a.gif"
"$convert" "$src" -compress RLE "$seeds/tga_fuzz/a.tga"
"$convert" "$src" -type Palette -colors 8 "$seeds/tga_fuzz/b.tga"
"$convert" "$src" "$seeds/pcx_fuzz/a.pcx"
"$convert" "$src" -colors 8 "$seeds/pcx_fuzz/b.pcx"
"$convert" "$src" -colorspace Gray "$seeds/pgm_fuzz/a.pgm"
"$convert" "$src" -colorspace Gray -compress None "$seeds/pgm_fuzz/b.pgm"
"$convert" "$src" "$seeds/pict_fuzz/a.pict"
"$convert" "$src" -colors 8 "$seeds/pict_fuzz/b.pict"
"$convert" "$src" BMP3:"$seeds/bmp_fuzz/a.bmp"
"$convert" "$src" -colors 16 -type Palette -compress RLE BMP3:"$seeds/bmp_fuzz/b.bmp"
"$convert" "$src" -colors 200 -type Palette -compress RLE BMP3:"$seeds/bmp_fuzz/c.bmp"
"$convert" "$src" -monochrome BMP3:"$seeds/bmp_fuzz/d.bmp"
"$convert" "$src" -alpha set -define bmp:subtype=ARGB4444 BMP:"$seeds/bmp_fuzz/e.bmp"
"$convert" "$src" -alpha set BMP:"$seeds/bmp_fuzz/f.bmp"
# The recognition sees one file of every format.
for t in png_fuzz jpeg_fuzz tiff_fuzz gif_fuzz tga_fuzz pcx_fuzz pgm_fuzz pict_fuzz bmp_fuzz; do
  cp "$seeds/$t"/a.* "$seeds/anypic_fuzz/"
done
# packed DIBs: BMP files without their 14-byte file header
for opt in "-colors 2" "-colors 16" "-colors 200" "-type TrueColor" "-colors 16 -compress RLE" "-colors 200 -compress RLE"; do
  "$convert" "$src" $opt BMP3:"$seeds/bmp.tmp"
  tail -c +15 "$seeds/bmp.tmp" >"$seeds/bmppic_fuzz/$(echo "$opt" | tr -dc 'a-zA-Z0-9').dib"
done
rm -f "$seeds/bmp.tmp"
"$convert" "$src" -alpha set "ico:$seeds/icon_fuzz/a.ico"
"$convert" "$src" -colors 16 -type Palette "ico:$seeds/icon_fuzz/b.ico"
# text layouts: the first byte chooses the reader (0 dialog, 1 menu, 2 accelerators)
for pair in 0:every_control.txt 0:preview_301.txt 1:app_menu.txt 2:app_accelerators.txt; do
  { printf "\\x0${pair%%:*}"; cat "$root/tests/framework/data/${pair#*:}"; } >"$seeds/layout_fuzz/${pair#*:}"
done
# launch fields of DAZ Studio, the feature tables (the first byte: how they
# are read), a settings file
printf '"C:\\Brivanta\\brivanta.exe" DAZStudio,2.0,anna,M3,x:SkinFace:Lip:EyeSocket:SkinHead,"' >"$seeds/daz_fuzz/a.txt"
for f in "$root"/resources/FEATURES/*.txt; do
  { printf '\x11'; cat "$f"; } >"$seeds/featuretable_fuzz/$(basename "$f")"
done
printf '[Settings]\r\nCount=12\r\n[Recent File List]\r\nFile1=C:\\a b\\x.fac\r\n; note\r\n' >"$seeds/settings_fuzz/a.ini"
# The worst inputs found so far.
for t in "${targets[@]}" "${file_targets[@]}"; do
  if [[ -d "$root/tests/fuzz/regressions/$t" ]]; then cp "$root/tests/fuzz/regressions/$t"/* "$seeds/$t/"; fi
done
python3 - "$seeds" <<'PY'
import struct, sys, zlib
seeds = sys.argv[1]
open(f"{seeds}/inflate_fuzz/a.z", "wb").write(zlib.compress(b"head photo texture " * 40, 9))
open(f"{seeds}/inflate_fuzz/b.z", "wb").write(zlib.compress(bytes(range(256)) * 3, 0))
def rec(func, *words):
    return struct.pack("<IH", 3 + len(words), func) + struct.pack(f"<{len(words)}h", *words)
body = (rec(0x020C, 50, 80) + rec(0x02FC, 0, 0xFF, 0, 0) + rec(0x012D, 0) + rec(0x041B, 40, 60, 5, 5)
        + rec(0x0418, 45, 78, 20, 30) + rec(0x0324, 3, 1, 1, 30, 2, 10, 40) + rec(0))
wmf = struct.pack("<IHhhhhHIH", 0x9AC6CDD7, 0, 0, 0, 80, 50, 96, 0, 0) + struct.pack("<HHHIHIH", 1, 9, 0x300, 0, 4, 0, 0) + body
open(f"{seeds}/metafile_fuzz/a.wmf", "wb").write(b"\0" + wmf)
def emr(t, *vals):
    return struct.pack("<II", t, 8 + 4 * len(vals)) + struct.pack(f"<{len(vals)}i", *vals)
head = struct.pack("<II4i4iIIIIHHIII4i", 1, 88, 0, 0, 79, 49, 0, 0, 2000, 1250, 0x464D4520, 0x10000, 0, 0, 4, 0, 0, 0, 0, 400, 200, 100, 50)
emf = head + emr(39, 1, 0, 0xFF00, 0) + emr(37, 1) + emr(43, 5, 5, 40, 30) + emr(42, 30, 10, 70, 45) + emr(14, 0, 16, 20)
open(f"{seeds}/metafile_fuzz/b.emf", "wb").write(b"\1" + emf)
PY

# Each target fuzzes for the given time in each setting; its log stays in the
# build folder.
# A small quarantine of freed memory, so that the memory limit measures the
# readers rather than the sanitizer.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=16"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
run() {
  local t="$1" setting="$2" corpus="$build/corpus/$1.$2" max_len=8192 extra=() time="$seconds"
  [[ " ${file_targets[*]} " == *" $t "* ]] && max_len=65536
  max_len="${FUZZ_MAX_LEN:-$max_len}"
  [[ "$setting" == profile ]] && extra=(-use_value_profile=1 -len_control=0) && time="$profile_seconds"
  mkdir -p "$corpus" "$build/findings/$1"
  "$build/tests/fuzz/$t" "$corpus" "$seeds/$t" -max_total_time="$time" -timeout="${FUZZ_TIMEOUT:-25}" \
    -rss_limit_mb=256 -malloc_limit_mb=256 -max_len="$max_len" -close_fd_mask=1 -print_final_stats=1 \
    -report_slow_units="${FUZZ_SLOW:-10}" \
    -artifact_prefix="$build/findings/$1/$2-" \
    "${extra[@]}" >"$build/$t.$setting.log" 2>&1
}
report() {
  if ! wait "$1"; then
    echo "FINDING in $2:"; tail -n 60 "$build/$2.log"; status=1
  else
    echo "$2: $(grep -Eo 'Done [0-9]+ runs.*' "$build/$2.log" | tail -n 1)"
  fi
}
runs=()
chosen=()
for t in "${targets[@]}" "${file_targets[@]}"; do
  if [[ -n "${FUZZ_ONLY:-}" && " $FUZZ_ONLY " != *" $t "* ]]; then continue; fi
  runs+=("$t.plain" "$t.profile")
  chosen+=("$t")
done
pids=()
names=()
for r in "${runs[@]}"; do
  run "${r%.*}" "${r##*.}" &
  pids+=($!)
  names+=("$r")
  if ((${#pids[@]} >= jobs)); then
    report "${pids[0]}" "${names[0]}"
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do report "${pids[$i]}" "${names[$i]}"; done
# Every input kept (seeds, regressions, what the runs added) read once more,
# one at a time, within the same limits; the slowest of each target shown.
if ((${#chosen[@]})); then
  BOUNDS_SECONDS="${FUZZ_TIMEOUT:-25}" FUZZ_BUILD="$build" BOUNDS_SOLO=1 \
    bash "$root/tests/fuzz/bounds.sh" "${chosen[@]}" || status=1
fi
exit "$status"
