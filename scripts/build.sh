#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize). Prints the build folder.
#
#     scripts/build.sh [--sanitize] [TARGET...]    # no target: everything, tests and benches too
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

build_dir="$root/build"
cmake_options=()
if [ "${1:-}" = "--sanitize" ]; then
    build_dir="$root/build-sanitize"
    cmake_options+=(-DTARNWICK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    shift
fi
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done

cmake -S "$root" -B "$build_dir" "${cmake_options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}" >&2
echo "$build_dir"
