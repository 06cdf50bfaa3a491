#!/usr/bin/env bash
# Keeps the console buildable for Windows: compiles every source of the
# console (each .cpp under app/, capture/, codepage/, link/, scenario/, text/ and ui/, at any depth) and the forms'
# generated headers with Debian's mingw-w64 cross compiler, -fsyntax-only
# against Debian's Qt 6 headers, with Q_OS_WIN in effect; then compiles the
# Windows version resource. POSIX-only code in the console fails it.
#   tools/check-mingw.sh
# Left out by design: simulator/, tests/ and bench/, which are
# Unix-only, and files named *_unix.cpp, which CMake builds on Unix only.
# Nothing is linked or run: Debian has no Qt built for Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev

cxx=x86_64-w64-mingw32-g++-posix
windres=x86_64-w64-mingw32-windres
qt=$(qtpaths6 --query QT_INSTALL_HEADERS)
uic=$(qtpaths6 --query QT_HOST_LIBEXECS)/uic
work=build-mingw

# A host configure makes the generated headers (the version) and the
# configured version resource; the forms' headers come from uic itself.
cmake -S . -B "$work" -G Ninja -DKALVEX_BUILD_TESTS=OFF >/dev/null
mkdir -p "$work/uic"
mapfile -t forms < <(find app capture codepage link scenario text ui -name '*.ui' | sort)
for form in "${forms[@]}"; do
    "$uic" "$form" -o "$work/uic/ui_$(basename "$form" .ui).h"
done

flags=(-fsyntax-only -std=c++20 -Wall -Wextra -Werror
       -DUNICODE -D_UNICODE -DWIN32 -DMINGW_HAS_SECURE_API=1
       -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_SERIALPORT_LIB -DQT_NO_DEBUG
       -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" -isystem "$qt/QtWidgets"
       -isystem "$qt/QtSerialPort"
       -I "$work/uic" -I "$work/resources/generated/include")
# Every folder of the console is on the include path, as the targets have it.
while IFS= read -r dir; do flags+=(-I "$dir"); done < <(find app capture codepage link scenario text ui -type d | sort)

# First prove that the headers see Windows, or every other check means little.
probe=$(printf '#include <QtGlobal>\n#if !defined(Q_OS_WIN) || defined(Q_OS_UNIX)\n#error "Q_OS_WIN is not in effect"\n#endif\n')
"$cxx" "${flags[@]}" -x c++ - <<<"$probe"

mapfile -t sources < <(find app capture codepage link scenario text ui -name '*.cpp' ! -name '*_unix.cpp' | sort)
# The forms' headers are compiled on their own too, as a form that no source
# includes yet must still compile.
headers=("$work"/uic/ui_*.h)
failed=0
for file in "${sources[@]}" "${headers[@]}"; do
    if [[ $file == *.h ]]; then
        "$cxx" "${flags[@]}" -x c++ "$file" || { echo "FAIL: $file"; failed=$((failed + 1)); }
    else
        "$cxx" "${flags[@]}" "$file" || { echo "FAIL: $file"; failed=$((failed + 1)); }
    fi
done

# The version resource as the Windows build has it, read back.
"$windres" --input-format=rc --output-format=coff -i "$work/resources/generated/version.rc" \
    -o "$work/version.res"
"$windres" --input-format=coff --output-format=rc -i "$work/version.res" -o "$work/version.rc.out"
grep -q 'VALUE "ProductVersion", "[0-9]*\.[0-9][0-9]"' "$work/version.rc.out" ||
    { echo "FAIL: the version resource has no ProductVersion"; failed=$((failed + 1)); }

echo "mingw: ${#sources[@]} sources and ${#headers[@]} form headers compiled for Windows," \
     "version resource compiled; $failed failed"
[ "$failed" -eq 0 ]
