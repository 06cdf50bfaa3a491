#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the console, its tools and its
# tests need and the machine does not have yet. Extra package names may be
# given as arguments. Nothing is installed, and nothing asks for a password,
# when everything is there; otherwise root installs directly and an ordinary
# user through sudo.
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
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root=()
elif command -v sudo >/dev/null; then
    echo "Missing Debian packages: ${missing[*]}"
    echo "Installing them needs administrator rights; asking sudo (your own password)."
    as_root=(sudo)
else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Installing them needs root, and sudo is not installed. As root, run:" >&2
    echo "    apt-get install ${missing[*]}" >&2
    exit 1
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
