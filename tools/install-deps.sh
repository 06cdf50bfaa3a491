#!/usr/bin/env bash
# Installs, from Debian's packages, what the machine does not have yet:
#   tools/install-deps.sh [--test] [--locale NAME]... [PACKAGE...]
#     (always)       what building and running the console and the simulator need
#     --test         and the tools that the test suite adds
#     --windows      and what the Windows build, its installer and its tests under
#                    Wine need (tools/package-windows.sh)
#     --windows-qt   and what building the Qt for Windows needs (tools/build-qt-windows.sh)
#     --locale NAME  and the locale NAME (e.g. pl_PL.UTF-8), generated
#     PACKAGE...     and these packages
# Nothing is installed, and nothing asks for a password, when everything is
# there; otherwise root installs directly and an ordinary user through sudo,
# told first what is missing. Neither list holds a window manager: a window
# manager's package makes itself the system's default (x-window-manager).
set -euo pipefail

run_packages=(
    cmake ninja-build g++
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
    fonts-liberation2 qt6-translations-l10n
)
test_packages=(
    valgrind groff-base
    xvfb x11-utils xdotool xclip
    at-spi2-core python3-pyatspi dbus-daemon
)
mingw_packages=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev)
# Wine itself is not among them: the tests run Debian 13's Wine 10, in a root
# that debootstrap makes (tests/wine/root.sh).
windows_packages=("${mingw_packages[@]}" nsis debootstrap)
windows_qt_packages=("${mingw_packages[@]}" dpkg-dev perl xz-utils)

packages=("${run_packages[@]}")
locales=()
while [ $# -gt 0 ]; do
    case $1 in
    --test) packages+=("${test_packages[@]}") ;;
    --windows) packages+=("${windows_packages[@]}") ;;
    --windows-qt) packages+=("${windows_qt_packages[@]}") ;;
    --locale)
        [ $# -ge 2 ] || { echo "install-deps.sh: --locale needs a name" >&2; exit 2; }
        locales+=("$2")
        shift
        ;;
    *) packages+=("$1") ;;
    esac
    shift
done

# Locale names compare as glibc does: "pl_PL.UTF-8" is "pl_PL.utf8".
normalised() { tr '[:upper:]' '[:lower:]' <<<"$1" | tr -d -- -; }
# The locales asked for that this machine lacks, as /usr/share/i18n/SUPPORTED
# names them ("pl_PL.UTF-8 UTF-8"); C and POSIX are always there.
missing_locales=()
available=$(locale -a 2>/dev/null | while read -r have; do normalised "$have"; done)
for name in ${locales[@]+"${locales[@]}"}; do
    case $name in C | POSIX | "") continue ;; esac
    grep -qxF "$(normalised "$name")" <<<"$available" && continue
    missing_locales+=("$name")
done
[ ${#missing_locales[@]} -eq 0 ] || packages+=(locales)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ] && exit 0

wanted="${missing[*]}"
[ ${#missing_locales[@]} -eq 0 ] || wanted="${wanted:+$wanted; }the locale ${missing_locales[*]}"
if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: $wanted"
    as_root=()
elif command -v sudo >/dev/null; then
    echo "Missing: $wanted"
    echo "Installing needs administrator rights; asking sudo (your own password)."
    as_root=(sudo)
else
    echo "Missing: $wanted" >&2
    echo "Installing needs root, and sudo is not installed. As root, run:" >&2
    [ ${#missing[@]} -eq 0 ] || echo "    apt-get install ${missing[*]}" >&2
    for name in ${missing_locales[@]+"${missing_locales[@]}"}; do
        echo "    add '$name' to /etc/locale.gen and run locale-gen" >&2
    done
    exit 1
fi
# A locale asked for but not there yet would have apt's helpers warn that it
# is missing; they run in the POSIX locale then.
apt=(env DEBIAN_FRONTEND=noninteractive)
[ ${#missing_locales[@]} -eq 0 ] || apt+=(LC_ALL=C)
if [ ${#missing[@]} -gt 0 ]; then
    "${as_root[@]}" "${apt[@]}" apt-get update -qq
    "${as_root[@]}" "${apt[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale is generated from its line in SUPPORTED, kept in /etc/locale.gen
# so that the next update of the locales package keeps it too.
for name in ${missing_locales[@]+"${missing_locales[@]}"}; do
    line=
    key=$(normalised "$name")
    while read -r supported charset; do
        if [ "$(normalised "$supported")" = "$key" ]; then
            line="$supported $charset"
            break
        fi
    done </usr/share/i18n/SUPPORTED
    if [ -z "$line" ]; then
        echo "install-deps.sh: Debian knows no locale $name (/usr/share/i18n/SUPPORTED)" >&2
        exit 1
    fi
    "${as_root[@]}" "${apt[@]}" sh -c 'grep -qxF "$1" /etc/locale.gen 2>/dev/null ||
                                          echo "$1" >>/etc/locale.gen
                                      locale-gen' locale-gen "$line"
done
