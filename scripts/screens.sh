#!/usr/bin/env bash
# Writes the README's screenshots to docs/screens: the program played under
# an X server by scripts/xvfb_player.py through tests/e2e/scenarios/screens.txt
# (one picture for each `shot` line), each taken with ImageMagick's
# `import -window root` and kept with 256 colours, without metadata (the same
# screen gives the same file).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export LIBGL_ALWAYS_SOFTWARE=1
bash "$root/scripts/setup.sh"
jobs="${BRIVANTA_JOBS:-$(nproc)}"
# The photo of the template head and its marks are made by the scenario
# player of the tests; the program itself is the release build.
test_build="$root/build/test"
cmake -S "$root" -B "$test_build" -DCMAKE_BUILD_TYPE=Debug -DBRIVANTA_SANITIZE=ON -DBRIVANTA_TESTS=ON >/dev/null
cmake --build "$test_build" --target e2e_scenario_test -j "$jobs"
# BRIVANTA_PROGRAM names a program built already (the test build's will do).
program="${BRIVANTA_PROGRAM:-}"
if [ -z "$program" ]; then
  release="$root/build/release"
  cmake -S "$root" -B "$release" -DCMAKE_BUILD_TYPE=Release -DBRIVANTA_TESTS=OFF >/dev/null
  cmake --build "$release" --target brivanta -j "$jobs"
  program="$release/app/brivanta"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
scenario="$root/tests/e2e/scenarios/screens.txt"
if ! (cd "$test_build" && unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM &&
  E2E_SCENARIO="$scenario" E2E_KEEP="$work/headless" "$root/tests/test_env.sh" \
    tests/e2e/e2e_scenario_test --gtest_filter=ScenarioFile.* >"$work/headless.log" 2>&1); then
  cat "$work/headless.log" >&2
  echo "screens.sh: the scenario does not play headless" >&2
  exit 1
fi
rm -rf "$root/docs/screens"
mkdir -p "$root/docs/screens"
# (test_env.sh: the sanitizer settings, should the program be the test build's;
# no key repeat: the player's keys are not repeated however long it is held up)
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY xvfb-run -a -s "-screen 0 1280x1024x24 -r" \
  "$root/tests/test_env.sh" python3 "$root/scripts/xvfb_player.py" --program "$program" --scenario "$scenario" \
  --fixtures "$work/headless/fixtures" --work "$work/x" --shots "$root/docs/screens"
for f in "$root"/docs/screens/*.png; do convert "$f" -strip -colors 256 "PNG8:$f"; done
ls -l "$root/docs/screens"
