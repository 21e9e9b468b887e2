#!/usr/bin/env bash
# Sets up and builds the program when needed, then starts Tarnwick on the default project, or with
# the given arguments:
#
#     scripts/run.sh [--help | --version | FILE]
#
# TARNWICK_BUILD_DIR names a build folder to run from as it is, without setting up or building.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ -n "${TARNWICK_BUILD_DIR:-}" ]; then
    build_dir="$TARNWICK_BUILD_DIR"
else
    bash "$root/scripts/setup.sh"
    build_dir="$(bash "$root/scripts/build.sh" tarnwick)"
fi

# Only the help and the version are printed without a window.
needs_window=1
for argument in "$@"; do
    case "$argument" in
    -h | --help | --version) needs_window=0 ;;
    esac
done
# freeglut draws on X11; a Wayland session serves it through XWayland, which sets DISPLAY as well.
if [ "$needs_window" = 1 ] && [ -z "${DISPLAY:-}" ]; then
    echo "run: there is no display (DISPLAY is not set); xvfb-run -a scripts/run.sh gives one" >&2
    exit 1
fi
if [ $# -eq 0 ]; then
    set -- "$build_dir/Data/Default.Tarnwick"
fi
exec "$build_dir/tarnwick" "$@"
