#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, in the
# caller's locale.
#   tools/test.sh                 ordinary build in build-test/
#   KALVEX_SANITIZE=ON tools/test.sh   AddressSanitizer + UBSan build in build-asan/
#   LANG=pl_PL.UTF-8 tools/test.sh     in another locale, generated when missing
set -euo pipefail
cd "$(dirname "$0")/.."

locales=()
for variable in LC_ALL LC_CTYPE LC_MESSAGES LC_TIME LC_NUMERIC LANG; do
    [ -z "${!variable:-}" ] || locales+=(--locale "${!variable}")
done
tools/install-deps.sh --test ${locales[@]+"${locales[@]}"}

sanitize=${KALVEX_SANITIZE:-OFF}
build=build-test
[ "$sanitize" = ON ] && build=build-asan

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVEX_SANITIZE="$sanitize"
cmake --build "$build" -j"$(nproc)"
echo "The suite runs with LANG=${LANG-}${LC_ALL:+ LC_ALL=$LC_ALL}."
# Qt's own look, whatever theme or style the desktop's session asks Qt for.
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2
