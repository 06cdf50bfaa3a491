#!/usr/bin/env bash
# Cross-builds the console for 64-bit Windows with Debian's mingw-w64 and a Qt built for it,
# and packs it twice: a portable zip that runs from any folder, and an installer (NSIS).
#   tools/package-windows.sh [--tests]
#     --tests   builds the test suites that run under Wine too (ctest --test-dir build-windows),
#               and installs what the tests under Wine use: the test tools, and Debian 13's
#               Wine 10 in a root of its own, made once (tests/wine/root.sh)
#   tools/package-windows.sh --qt
#     prints the Qt for Windows that a build would use, or says how to get one, and fails
# The Qt for Windows: QT_WINDOWS=DIR when set; otherwise the one in the cache folder
# (~/.cache/kalvex/qt6-mingw-6.4.2), which is unpacked there once from
# ../shared/qt-windows/qt6-mingw-6.4.2.tar.xz beside the repository, or made by
# tools/build-qt-windows.sh. The results are in build-windows/; the last two lines name them:
#   build-windows/rs232-kalvex-<version>-windows-x64.zip
#   build-windows/rs232-kalvex-<version>-setup.exe
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

qt_version=6.4.2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kalvex/qt6-mingw-$qt_version
archive=$repo/../shared/qt-windows/qt6-mingw-$qt_version.tar.xz

is_qt() { [ -f "$1/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$1/bin/Qt6SerialPort.dll" ]; }
no_qt() {
    echo "package-windows.sh: $1" >&2
    echo "  Build it once (about 30 minutes, from Debian's sources): tools/build-qt-windows.sh" >&2
    echo "  or name one: QT_WINDOWS=DIR tools/package-windows.sh" >&2
    exit 1
}
# The Qt for Windows, unpacked into the cache when only its archive is there.
find_qt() {
    if [ -n "${QT_WINDOWS:-}" ]; then
        is_qt "$QT_WINDOWS" || no_qt "QT_WINDOWS=$QT_WINDOWS holds no Qt for Windows with SerialPort"
        (cd "$QT_WINDOWS" && pwd)
        return
    fi
    if ! is_qt "$cache" && [ -f "$archive" ]; then
        tools/install-deps.sh xz-utils >&2
        echo "Unpacking $archive into $cache" >&2
        local unpack
        unpack=$(mktemp -d "$(dirname "$cache")/unpack.XXXXXX")
        tar -C "$unpack" -xJf "$archive"
        rm -rf "$cache"
        mv "$unpack/qt6-mingw" "$cache"
        rm -rf "$unpack"
    fi
    is_qt "$cache" || no_qt "no Qt $qt_version for Windows: not in $cache, and no $archive"
    echo "$cache"
}

tests=OFF
case ${1:-} in
--qt)
    mkdir -p "$(dirname "$cache")"
    find_qt
    exit 0
    ;;
--tests) tests=ON ;;
"") ;;
*) echo "usage: tools/package-windows.sh [--tests | --qt]" >&2; exit 2 ;;
esac

if [ "$tests" = ON ]; then
    tools/install-deps.sh --windows --test   # the real-window tests' tools too
    tests/wine/root.sh --make
else
    tools/install-deps.sh --windows
fi
mkdir -p "$(dirname "$cache")"
qt=$(find_qt)
echo "Qt for Windows: $qt"

version=$(sed -nE 's/^project\(Kalvex VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows.sh: no project version in CMakeLists.txt" >&2; exit 1; }
build=$repo/build-windows
# CMake keeps the packages it found by path: another Qt needs a new build.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qxF "QT_WINDOWS:PATH=$qt" "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$repo/packaging/windows/mingw-w64.cmake" -DQT_WINDOWS="$qt" \
      -DKALVEX_BUILD_TESTS="$tests"
cmake --build "$build" -j"$(nproc)"

# The folder that the zip holds and the installer installs: the program, what it loads and
# nothing else.
name=rs232-kalvex-$version-windows-x64
stage=$build/stage/$name
rm -rf "$build/stage"
mkdir -p "$stage"
exe=$(find "$build/app" -maxdepth 1 -name '*.exe' | head -n 1)
[ -n "$exe" ] || { echo "package-windows.sh: no program built in $build/app" >&2; exit 1; }
x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/$(basename "$exe")" "$exe"
# Plugins: the platform, the Windows style, and the ICO reader that the icons need.
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll; do
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$qt/plugins/$plugin" "$stage/$plugin"
done
# Every DLL that the program and the plugins import, and those import, found among Qt's
# and the mingw runtime's; the system's own DLLs are not in either folder.
runtime=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
queue=("$stage/$(basename "$exe")" "$stage"/*/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
        [ -e "$stage/$dll" ] && continue
        for dir in "$qt/bin" "${runtime[@]}"; do
            if [ -f "$dir/$dll" ]; then
                # Debian's runtime DLLs carry their debugging symbols.
                x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/$dll" "$dir/$dll"
                queue+=("$stage/$dll")
                break
            fi
        done
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
# Qt's own dialogs in Polish, and where Qt finds its parts: beside the program.
mkdir -p "$stage/translations"
cp /usr/share/qt6/translations/qtbase_pl.qm "$stage/translations/"
cp packaging/windows/qt.conf "$stage/qt.conf"

zip=$build/$name.zip
rm -f "$zip"
(cd "$build/stage" && cmake -E tar cf "$zip" --format=zip "$name")

# The installer installs exactly the staged files, and its uninstaller removes exactly them,
# the deepest folders first, each only when nothing else is left in it.
files=$build/files.nsh
winpath() { sed 's|/|\\|g' <<<"$1"; }
{
    echo '!macro InstallFiles'
    (cd "$stage" && find . -type f -printf '%P\n' | sort) | while read -r f; do
        dir=$(dirname "$f")
        echo "    SetOutPath \"\$INSTDIR$([ "$dir" = . ] || echo "\\$(winpath "$dir")")\""
        echo "    File \"$stage/$f\""
    done
    echo '!macroend'
    echo '!macro RemoveFiles'
    (cd "$stage" && find . -type f -printf '%P\n' | sort) | while read -r f; do
        echo "    Delete \"\$INSTDIR\\$(winpath "$f")\""
    done
    (cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | sort -r) | while read -r d; do
        echo "    RMDir \"\$INSTDIR\\$(winpath "$d")\""
    done
    echo '!macroend'
} >"$files"
publisher=$(sed -n 's|.*<developer_name>\(.*\)</developer_name>.*|\1|p' \
    resources/com.example.kalvex.metainfo.xml.in)
size_kb=$(du -sk --apparent-size "$stage" | cut -f1)
setup=$build/rs232-kalvex-$version-setup.exe
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
    -DEXE="$(basename "$exe")" -DOUTFILE="$setup" -DICON="$repo/resources/icons/app.ico" \
    -DPUBLISHER="$publisher" -DSIZE_KB="$size_kb" -DFILES="$files" \
    packaging/windows/installer.nsi
echo "$zip"
echo "$setup"
