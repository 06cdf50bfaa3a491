#!/usr/bin/env bash
# Tries the Debian package as a user would get it:
#   1. installs it with apt-get, which brings what it depends on;
#   2. checks that its files are in place, that they agree on the version,
#      and that the desktop entry and the metainfo are valid;
#   3. starts the installed console from its menu entry's Exec line under
#      Xvfb, with port 2 mapped to the installed kalvex-sim, presses buttons
#      and reads the device's replies back from the DATA view;
#   4. starts the demo from the entry's "Demo" action: the installed
#      kalvex-sim answers on port 2, and no simulator is left running when
#      the console ends, checked by its process id;
#   5. purges it and checks that none of its files is left.
#   tools/check-package.sh DEB [SCREENSHOT.png]
# Run as root, on a Debian 12 machine where the package is not installed.
# Nothing but the package is installed before it starts, so its Depends are
# what is tried; the tools that drive the window come after.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 DEB [SCREENSHOT.png]" >&2; exit 2; }
deb=$(realpath "$1")
shot=${2:+$(realpath -m "$2")}
repo=$(cd "$(dirname "$0")/.." && pwd)
pkg=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
export DEBIAN_FRONTEND=noninteractive

fail() {
    echo "FAIL: $*"
    exit 1
}
status() { dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null || true; }

[ -z "$(status | tr -d ' ')" ] || [ "$(status)" = "un " ] ||
    fail "$pkg is on this machine already ($(status)); purge it first"

echo "== install $deb"
apt-get update -qq
apt-get install -y -q "$deb"
[ "$(status)" = "ii " ] || fail "$pkg is not installed after apt-get install ($(status))"
mapfile -t listed < <(dpkg-query -L "$pkg")
declare -A inPackage
for path in "${listed[@]}"; do inPackage[$path]=1; done

echo "== files in place"
bin=/usr/bin
desktop=/usr/share/applications/rs232-kalvex.desktop
metainfo=/usr/share/metainfo/com.example.kalvex.metainfo.xml
expected=(
    "$bin/rs232-kalvex" "$bin/kalvex-sim" "$desktop" "$metainfo"
    /usr/share/icons/hicolor/16x16/apps/rs232-kalvex.png
    /usr/share/icons/hicolor/32x32/apps/rs232-kalvex.png
    /usr/share/man/man1/rs232-kalvex.1.gz /usr/share/man/man1/kalvex-sim.1.gz
    "/usr/share/doc/$pkg/copyright" "/usr/share/doc/$pkg/changelog.gz"
)
for file in "${expected[@]}"; do
    [ -n "${inPackage[$file]:-}" ] || fail "$file is not in the package"
    [ -s "$file" ] || fail "$file is missing or empty"
done
for file in "${listed[@]}"; do
    [ -e "$file" ] || fail "$file is listed but not on disk"
done
for program in "$bin/rs232-kalvex" "$bin/kalvex-sim"; do
    [ -x "$program" ] || fail "$program is not executable"
    missing=$(ldd "$program" | grep 'not found' || true)
    [ -z "$missing" ] || fail "$program misses libraries the package does not bring: $missing"
done
echo "${#listed[@]} paths, ${#expected[@]} expected files present; the programs find their libraries"

echo "== one version everywhere: $version"
[ "$("$bin/kalvex-sim" --version)" = "kalvex-sim $version" ] ||
    fail "kalvex-sim --version says '$("$bin/kalvex-sim" --version)'"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
for page in rs232-kalvex kalvex-sim; do
    grep -q "^\.TH .* \"$page $version\"" <<<"$(zcat "/usr/share/man/man1/$page.1.gz")" ||
        fail "the manual page of $page is not of version $version"
done

echo "== the simulator's manual page names every option it has"
manual=$(zcat /usr/share/man/man1/kalvex-sim.1.gz | sed 's/\\-/-/g')
options=$("$bin/kalvex-sim" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u)
for option in $options; do
    grep -qF -- "$option" <<<"$manual" || fail "kalvex-sim.1 does not describe $option"
done
echo "$(wc -w <<<"$options") options described"

echo "== tools to check and drive the window"
tools=(desktop-file-utils appstream xvfb x11-utils xdotool xclip)
[ -n "$shot" ] && tools+=(imagemagick)
apt-get install -y -q --no-install-recommends "${tools[@]}" >/dev/null
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

echo "== the console from its menu entry, port 2 on the simulator"
exec_line=$(sed -n '/^\[Desktop Entry\]$/,/^\[/s/^Exec=//p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -e "/usr/share/icons/hicolor/32x32/apps/$icon.png" ] || fail "the entry's icon '$icon' is not installed"
read -r -a command <<<"$exec_line"
[ ${#command[@]} -eq 1 ] || fail "the Exec line '$exec_line' has arguments the check does not pass"
console=$(command -v "${command[0]}") || fail "the Exec line's '${command[0]}' is not on PATH"
[ "$console" = "$bin/rs232-kalvex" ] || fail "the Exec line starts $console"
SMOKE_SCREENSHOT=$shot "$repo/tests/smoke_xvfb.sh" "$console" "$bin/kalvex-sim"
[ -z "$shot" ] || echo "screenshot: $shot"
"$repo/tests/commandline.sh" "$console" "$version"

echo "== the demo from the menu entry's Demo action"
demo_line=$(sed -n '/^\[Desktop Action Demo\]$/,/^\[/s/^Exec=//p' "$desktop")
read -r -a command <<<"$demo_line"
[ ${#command[@]} -eq 2 ] && [ "${command[1]}" = --demo ] ||
    fail "the Demo action's Exec line '$demo_line' is not the console with --demo"
[ "$(command -v "${command[0]}")" = "$bin/rs232-kalvex" ] || fail "the Demo action starts ${command[0]}"
"$repo/tests/demo_xvfb.sh" "$bin/rs232-kalvex" "$bin/kalvex-sim"

echo "== purge"
apt-get purge -y -q "$pkg"
[ -z "$(status | tr -d ' ')" ] || [ "$(status)" = "un " ] ||
    fail "$pkg is still known to dpkg after the purge ($(status))"
left=0
for path in "${listed[@]}"; do
    [ "$path" != /. ] || continue  # dpkg's name for the root folder
    [ -e "$path" ] || [ -L "$path" ] || continue
    # Shared folders (/usr/bin, the icon theme's) stay, and belong to others.
    if [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then
        continue
    fi
    echo "left behind: $path"
    left=$((left + 1))
done
compgen -G "/var/lib/dpkg/info/$pkg.*" >/dev/null && { echo "left behind: dpkg's records"; left=$((left + 1)); }
[ "$left" -eq 0 ] || fail "$left paths of $pkg are left after the purge"
echo "purged: none of the ${#listed[@]} paths is left, and dpkg has no record of $pkg"
echo "package check passed"
