#!/bin/sh
# Runs a test program with the sanitizer and GL settings every test needs
# (settings already in the environment win).
here="$(cd "$(dirname "$0")" && pwd)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/lsan_suppressions.txt:print_suppressions=0}"
export LIBGL_ALWAYS_SOFTWARE="${LIBGL_ALWAYS_SOFTWARE:-1}"
# llvmpipe renders on the calling thread: LeakSanitizer cannot always stop its
# worker threads at exit.
export LP_NUM_THREADS="${LP_NUM_THREADS:-0}"
exec "$@"
