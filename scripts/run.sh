#!/usr/bin/env bash
# Sets up when needed, builds the program alone, and starts Tarnwick with the given arguments.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
build_dir="$(bash "$root/scripts/build.sh" tarnwick)"
exec "$build_dir/tarnwick" "$@"
