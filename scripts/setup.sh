#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run, test and benchmark.
# Quick when they are already there: apt is only touched for missing packages. Without apt, or
# without the right to use it, it names what is needed and leaves the finding to CMake.
set -euo pipefail

packages=(
    g++ cmake make
    libgtest-dev libgmock-dev
    freeglut3-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libdevil-dev
    libfreetype-dev fonts-dejavu-core
    zlib1g-dev
    xvfb xauth
    dpkg-dev file
    libtinyobjloader-dev
)
needs="a C++20 compiler (g++ 12 or later), CMake 3.25 or later, make, GoogleTest (tests),
tinyobjloader (benchmarks), freeglut, OpenGL and GLU (Mesa), DevIL, FreeType with the DejaVu fonts, zlib (compressed figures), Xvfb and xauth (tests that draw), dpkg-dev and file (the Debian package)"

carry_on() {
    echo "setup: $1; not installing anything." >&2
    echo "setup: Tarnwick needs $needs." >&2
    echo "setup: going on; CMake reports what it cannot find (-DBUILD_TESTING=OFF builds the program alone)." >&2
    exit 0
}

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
    carry_on "no apt on this system"
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_prefix=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        needs="these Debian packages: ${missing[*]}"
        carry_on "not root and no sudo"
    fi
    sudo_prefix=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_prefix[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install -y -qq "${missing[@]}"
