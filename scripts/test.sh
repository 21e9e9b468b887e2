#!/usr/bin/env bash
# Sets up when needed, builds, and runs the test suite; other arguments go to ctest.
#
#     scripts/test.sh                      # every test
#     scripts/test.sh -R Settings          # the tests whose names match
#     scripts/test.sh --sanitize [...]     # built into build-sanitize/ with address and UB sanitizers
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

build_options=()
ctest_options=()
for argument in "$@"; do
    if [ "$argument" = --sanitize ]; then
        build_options+=(--sanitize)
    else
        ctest_options+=("$argument")
    fi
done

bash "$root/scripts/setup.sh"
build_dir="$(bash "$root/scripts/build.sh" "${build_options[@]}")"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest_command=(ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "${ctest_options[@]}")
# Tests that draw need a display; xvfb-run gives them a Mesa one. The server must not start afresh
# whenever its last client leaves: tests that start the program one after another would find it
# refusing connections meanwhile.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${ctest_command[@]}"
fi
exec "${ctest_command[@]}"
