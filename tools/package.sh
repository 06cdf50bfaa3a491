#!/usr/bin/env bash
# Installs what is missing, builds the Debian package rs232-kalvex from this
# tree in Release, checks it with lintian, and prints the path of the .deb as
# its last line.
#   tools/package.sh
#   sudo apt-get install ./build-deb/rs232-kalvex_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh build-essential debhelper lintian

# The version is CMake's project version; the Debian changelog is written
# from it, so that it is set in one place.
version=$(sed -nE 's/^project\(Kalvex VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' CMakeLists.txt)
released=$(sed -nE 's/^set\(KALVEX_RELEASE_DATE ([0-9]{4}-[0-9]{2}-[0-9]{2})\)$/\1/p' CMakeLists.txt)
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
if [ -z "$version" ] || [ -z "$released" ] || [ -z "$maintainer" ]; then
    echo "package.sh: no project version or release date in CMakeLists.txt, or no maintainer" >&2
    exit 1
fi

# dpkg-buildpackage leaves its results beside the source tree: build from a
# copy inside build-deb/, so that they land there and the tree stays clean.
out=$PWD/build-deb
rm -rf "$out"
mkdir -p "$out/rs232-kalvex"
tar --exclude=./.git --exclude='./build*' --exclude=./.cache -cf - . |
    tar -xf - -C "$out/rs232-kalvex"
cat >"$out/rs232-kalvex/debian/changelog" <<EOF
rs232-kalvex ($version) unstable; urgency=medium

  * Release $version: the console rs232-kalvex and the device simulator
    kalvex-sim. The changes are in the project's git history.

 -- $maintainer  $(LC_ALL=C date -u -R -d "$released")
EOF

(cd "$out/rs232-kalvex" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b)

deb=$out/rs232-kalvex_${version}_$(dpkg --print-architecture).deb
echo "lintian $deb:"
# Errors and warnings fail; the informational tags are shown.
lintian --display-info --fail-on error,warning "$deb"
echo "$deb"
