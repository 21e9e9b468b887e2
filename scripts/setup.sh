#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run, test and benchmark.
# Quick when they are already there: apt is only touched for missing packages.
set -euo pipefail

packages=(
    g++ cmake make
    libgtest-dev libgmock-dev
    freeglut3-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libdevil-dev
    xvfb xauth
    libtinyobjloader-dev
)

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
    sudo_prefix=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_prefix[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install -y -qq "${missing[@]}"
