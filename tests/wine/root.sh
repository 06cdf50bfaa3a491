#!/usr/bin/env bash
# Runs a command with Debian 13's Wine (Wine 10) at hand for the Windows
# build's tests: Debian 12's Wine 8 never tells Qt SerialPort that bytes came
# in (its serial waits post nothing to the I/O completion port that Qt waits
# on); Wine 10's do.
#   tests/wine/root.sh COMMAND [ARGUMENT...]
#   tests/wine/root.sh --make      makes the root only
#
# Wine 10 lives in a Debian 13 ("trixie") root, made once with debootstrap
# from the machine's own mirror and kept beside the Qt for Windows
# (~/.cache/kalvex/wine10-trixie), so that a second run finds it. COMMAND
# runs on this machine as it is, in a mount namespace of its own in which
# the root sees, at the same paths as here, the repository, /tmp (the
# displays, the tests' folders and links), /dev with its pseudo-terminals,
# the Qt for Windows and the mingw runtime. `wine`, `wineserver` and
# `wineboot` on COMMAND's PATH run Wine 10 in the root. The mounts belong to
# the namespace, so they go with its last process, however the command ends.
#
# KALVEX_UART_STANDIN=LIBRARY: the stand-in that makes a pty answer as a UART
# (uartstandin.cpp) is loaded into every Wine process.
# KALVEX_DEBIAN_MIRROR: the mirror (default: deb.debian.org).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kalvex
root=$cache/wine10-trixie
mirror=${KALVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# Wine (64-bit programs only), the X extensions its X11 driver loads when
# present (the package only recommends them), and pkill for the tests inside.
# Fonts come from this machine into each Wine prefix (wine.sh).
packages=(wine wine64 procps
          libxrender1 libxi6 libxrandr2 libxcursor1 libxfixes3 libxinerama1 libxcomposite1)

# The root is made in a folder of its own and renamed into place, with the
# list of its packages, so a run that failed leaves no half root behind and
# a changed list makes a new one.
make_root() {
    local wanted="${packages[*]}"
    [ -f "$root/.kalvex-packages" ] && [ "$(cat "$root/.kalvex-packages")" = "$wanted" ] && return 0
    "$repo/tools/install-deps.sh" debootstrap
    local as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    echo "Making the Debian 13 root with Wine 10 in $root (once; a few minutes)"
    mkdir -p "$cache"
    local new
    new=$(mktemp -d "$cache/wine10-trixie.new.XXXXXX")
    if ! "${as_root[@]}" debootstrap --variant=minbase --include="$(tr ' ' , <<<"$wanted")" \
        trixie "$new" "$mirror" >"$new.log" 2>&1; then
        tail -n 20 "$new.log" >&2
        echo "root.sh: debootstrap failed; its log: $new.log" >&2
        "${as_root[@]}" rm -rf "$new"
        exit 1
    fi
    echo "$wanted" | "${as_root[@]}" tee "$new/.kalvex-packages" >/dev/null
    "${as_root[@]}" rm -rf "$root" "$new.log"
    "${as_root[@]}" mv "$new" "$root"
}

make_root
[ "${1:-}" = --make ] && exit 0
[ $# -gt 0 ] || { echo "usage: tests/wine/root.sh COMMAND [ARGUMENT...] | --make" >&2; exit 2; }

# Inside the namespace: bind what the tests reach, put the Wine commands on
# PATH, run the command. Root gets a namespace of its own; an ordinary user
# gets one in a user namespace, as root there.
if [ "${KALVEX_WINE_ROOT:-}" != "$root" ]; then
    qt=$("$repo/tools/package-windows.sh" --qt 2>/dev/null || true)
    shared=("$repo" /tmp /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32 ${qt:+"$qt"})
    namespace=(unshare --mount --propagation private)
    [ "$(id -u)" -eq 0 ] || namespace=(unshare --user --map-root-user --mount --propagation private)
    exec "${namespace[@]}" env KALVEX_WINE_ROOT="$root" KALVEX_WINE_SHARED="${shared[*]}" \
        bash "$here/root.sh" "$@"
fi

mount --rbind /dev "$root/dev"
mount --rbind /proc "$root/proc"
mount --rbind /sys "$root/sys"
for dir in $KALVEX_WINE_SHARED; do
    [ -d "$dir" ] || continue
    mkdir -p "$root$dir"
    mount --rbind "$dir" "$root$dir"
done
bin=$(mktemp -d /tmp/kalvex-wine10-bin.XXXXXX)
trap 'rm -rf "$bin"' EXIT
# chroot starts in the root's /: the command starts in the caller's folder.
for command in wine wineserver wineboot; do
    cat >"$bin/$command" <<EOF
#!/bin/sh
exec chroot "$root" /usr/bin/env PATH=/usr/bin:/bin XDG_RUNTIME_DIR=\${XDG_RUNTIME_DIR:-$bin} \${KALVEX_UART_STANDIN:+LD_PRELOAD=\$KALVEX_UART_STANDIN} \\
    /bin/sh -c 'cd "\$0" && exec "\$@"' "\$(pwd)" /usr/bin/$command "\$@"
EOF
    chmod +x "$bin/$command"
done
export PATH="$bin:$PATH"
"$@"
