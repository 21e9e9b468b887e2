#!/usr/bin/env bash
# Sets up when needed, builds, and runs the whole test suite.
# --sanitize builds into build-sanitize/ with address and undefined-behaviour sanitizers.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
build_dir="$(bash "$root/scripts/build.sh" "$@")"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# Tests that draw need a display; xvfb-run gives them a Mesa one.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
fi
exec ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
