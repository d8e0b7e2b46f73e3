#!/usr/bin/env bash
# Puts the real portrait the tests and benchmarks use into the folder given:
# astronaut.png (512 x 512, public domain), which Debian ships in
# scikit-image's data; only the package file is fetched and unpacked,
# nothing is installed. Without the package archive it says so and ends
# with 1; the tests that need the picture are then skipped.
set -euo pipefail
dir="$1"
[ -f "$dir/astronaut.png" ] && exit 0
mkdir -p "$dir"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if (cd "$work" && apt-get download python3-skimage >/dev/null 2>&1 &&
    dpkg-deb -x python3-skimage_*.deb unpacked); then
  cp "$work/unpacked/usr/lib/python3/dist-packages/skimage/data/astronaut.png" "$dir/"
else
  echo "portrait.sh: the portrait could not be fetched" >&2
  exit 1
fi
