#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the console, its tools and its
# tests need and the machine does not have yet. Run as root.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins
    fonts-liberation2 valgrind
    xvfb xauth icewm x11-utils xdotool xclip imagemagick
    at-spi2-core python3-pyatspi dbus-daemon
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
