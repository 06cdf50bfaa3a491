#!/usr/bin/env bash
# Builds the Qt that the Windows build of the console needs, from Debian 12's sources alone:
# Qt 6.4.2 for 64-bit Windows with Debian's mingw-w64 (POSIX threads, shared DLLs, Release,
# stripped): Core, Gui, Widgets, Test, Concurrent, Xml, OpenGL (loaded at run time) from the
# qt6-base source package and SerialPort from qt6-serialport, with the host's Qt 6.4.2 as the
# tools (moc, rcc, uic). Hours on 2 cores (3 h 17 min measured on a busy machine), 2.2 GB of
# scratch space.
#   tools/build-qt-windows.sh [PREFIX]
#     PREFIX   where it goes (default: ~/.cache/kalvex/qt6-mingw-6.4.2, where
#              tools/package-windows.sh looks); then QT_WINDOWS=PREFIX names it
#   KALVEX_DEBIAN_MIRROR   the mirror of the sources (default: deb.debian.org)
#   KALVEX_QTSERIALPORT_SRC  Qt SerialPort's v6.4.2 source (tarball or folder), used only
#                          when the mirror has no qt6-serialport source package
#   WORK                   scratch folder (default: a new one in /tmp, removed on success)
# The sources come through a deb-src line of this script's own, in a private apt state: the
# system's sources and package lists stay as they are, and apt-get source needs no root.
# Left out: Network, Sql, D-Bus, PrintSupport, Vulkan, JPEG, GIF, zstd, and tablet events
# (Debian's +dfsg source has no wintab.h).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
version=6.4.2
prefix=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvex/qt6-mingw-$version}
mirror=${KALVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
toolchain=$repo/packaging/windows/mingw-w64.cmake
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=$((jobs - 1))

"$repo/tools/install-deps.sh" --windows-qt

host=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case $host in
"$version"*) ;;
*) echo "build-qt-windows.sh: the host's Qt is $host; the tools must be Qt $version" >&2; exit 1 ;;
esac

scratch=${WORK:-}
if [ -z "$scratch" ]; then
    scratch=$(mktemp -d /tmp/kalvex-qt-windows.XXXXXX)
    # An ERR trap misses the script's own "exit 1"s: whatever ends it early names the folder.
    trap 'status=$?; [ "$status" -eq 0 ] ||
          echo "build-qt-windows.sh: failed; the scratch folder $scratch is kept" >&2' EXIT
fi
mkdir -p "$scratch/apt/lists/partial" "$scratch/apt/parts" "$scratch/src"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" \
    >"$scratch/apt/sources.list"
apt=(apt-get -q
     -o Dir::Etc::sourcelist="$scratch/apt/sources.list"
     -o Dir::Etc::sourceparts="$scratch/apt/parts"
     -o Dir::State::Lists="$scratch/apt/lists"
     -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
     -o APT::Sandbox::User="$(id -un)")
"${apt[@]}" update
# The sources of the very versions the host's Qt has, where the mirror still holds them.
fetch() {
    local package=$1 installed
    installed=$(dpkg-query -W -f='${Version}' "$2" 2>/dev/null || true)
    (cd "$scratch/src" && { "${apt[@]}" source "$package${installed:+=$installed}" ||
                            "${apt[@]}" source "$package"; })
}
unpacked() { find "$scratch/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n 1; }
fetch qt6-base qt6-base-dev
base=$(unpacked qt6-base)
[ -n "$base" ] || { echo "build-qt-windows.sh: Debian's qt6-base source did not unpack" >&2; exit 1; }
# Qt SerialPort is small, and some mirrors lack its source package; Qt's own v6.4.2 source
# (a tarball or a folder) does as well: KALVEX_QTSERIALPORT_SRC, or the one that
# ../shared/qt-windows beside the repository holds.
serial=
fetch qt6-serialport qt6-serialport-dev || true
serial=$(unpacked qt6-serialport)
if [ -z "$serial" ]; then
    local_src=${KALVEX_QTSERIALPORT_SRC:-$repo/../shared/qt-windows/qtserialport-$version.tar.xz}
    if [ -d "$local_src" ]; then
        serial=$(cd "$local_src" && pwd)
    elif [ -f "$local_src" ]; then
        mkdir -p "$scratch/src/serialport"
        tar -C "$scratch/src/serialport" -xf "$local_src"
        serial=$(dirname "$(find "$scratch/src/serialport" -maxdepth 2 -name .cmake.conf | head -n 1)")
    fi
    [ -n "$serial" ] || { echo "build-qt-windows.sh: no source of Qt SerialPort: the mirror has" \
        "none; name Qt's v$version source with KALVEX_QTSERIALPORT_SRC=TARBALL|DIR" >&2; exit 1; }
    grep -q "QT_REPO_MODULE_VERSION \"$version\"" "$serial/.cmake.conf" ||
        { echo "build-qt-windows.sh: $serial is not Qt SerialPort $version" >&2; exit 1; }
    echo "Qt SerialPort's source: $local_src (the mirror has no qt6-serialport source)"
fi

common=(-G Ninja -DCMAKE_BUILD_TYPE=Release
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
        -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)
rm -rf "$prefix"
cmake -S "$base" -B "$scratch/qtbase" "${common[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=ON \
      -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF -DFEATURE_system_zlib=OFF \
      -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
      -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
      -DFEATURE_zstd=OFF -DFEATURE_directwrite3=OFF -DFEATURE_tabletevent=OFF -DINPUT_openssl=no
cmake --build "$scratch/qtbase" --parallel "$jobs"
cmake --install "$scratch/qtbase"
# Qt's own toolchain file, made relocatable: it loads the mingw-w64 toolchain from the
# prefix's root, so that the prefix can be moved or packed.
cp "$toolchain" "$prefix/mingw-w64.cmake"
sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64.cmake")|' \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
cmake -S "$serial" -B "$scratch/qtserialport" "${common[@]}" \
      -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
cmake --build "$scratch/qtserialport" --parallel "$jobs"
cmake --install "$scratch/qtserialport"
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
rm -rf "$prefix/doc"
[ -n "${WORK:-}" ] || rm -rf "$scratch"
echo "Qt $version for Windows is in $prefix"
echo "$prefix"
