#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize). Prints the build folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

build_dir="$root/build"
cmake_options=()
if [ "${1:-}" = "--sanitize" ]; then
    build_dir="$root/build-sanitize"
    cmake_options+=(-DTARNWICK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

cmake -S "$root" -B "$build_dir" "${cmake_options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" >&2
echo "$build_dir"
