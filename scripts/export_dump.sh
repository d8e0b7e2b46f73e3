#!/usr/bin/env bash
# The acceptance flows' files under the fake clock and a fixed texture fill
# seed, kept in DIR (the e2e program of a test build, build/test by default):
#   bash scripts/export_dump.sh DIR [BUILD]
# Two dumps, of two builds, are compared with scripts/export_compare.py.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$(realpath -m "$1")"
build="${2:-$root/build/test}"
mkdir -p "$dir"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
BRIVANTA_EXPORT_DUMP="$dir" "$root/tests/test_env.sh" "$build/tests/e2e/e2e_scenario_test" \
  --gtest_filter='ExportDump.*'
