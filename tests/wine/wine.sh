# Sourced by the scripts that run the console's Windows build under Wine: a
# Wine prefix of their own, COM ports mapped to Linux devices, Windows paths.
#   . wine.sh; make_wine_prefix DIR [null|x11]; map_com N PATH
#   make_wine_prefix        makes the prefix, once, with fonts; the graphics driver is set then
#   windows_path PATH       Z:\... for a Linux path
#   pass_qt_variables       the caller's QT_* variables reach Windows programs
#
# The prefix keeps Wine to itself: no desktop menu entries or file type
# associations in the caller's home (winemenubuilder is off), no downloads of
# Mono or Gecko, and no output but errors. "null" draws no windows, for
# programs that need no display.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

# Fonts: Wine brings none of its own here, and Qt's offscreen platform on
# Windows reads only the folder QT_QPA_FONTDIR names, so the prefix's Fonts
# folder gets the machine's Liberation fonts (fonts-liberation2, which the
# console's own packages bring), and Windows programs are told of it.
make_wine_prefix() {
    export WINEPREFIX=$1
    export WINEQT_QPA_FONTDIR='C:\windows\Fonts'
    local graphics=${2:-null} fonts=$1/drive_c/windows/Fonts
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot --init >"$WINEPREFIX/wineboot.log" 2>&1 ||
            { cat "$WINEPREFIX/wineboot.log"; return 1; }
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f >/dev/null
    fi
    [ -f "$fonts/LiberationSans-Regular.ttf" ] || cp /usr/share/fonts/truetype/liberation2/*.ttf "$fonts/"
}

# COM<n> leads to PATH: in the registry, so that Wine's mount manager keeps it
# so on every start (it maps /dev/ttyS* to the free numbers), and as the link
# itself, for the prefix that runs now.
map_com() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /d "$2" /f >/dev/null
    ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"
}

windows_path() { echo "Z:$(sed 's|/|\\|g' <<<"$1")"; }

# Wine keeps QT_* variables from Windows programs (they are meant for the Qt
# on the Linux side); what it gets as WINEQT_* reaches them as QT_*.
pass_qt_variables() {
    local name
    for name in $(compgen -e); do
        [[ $name == QT_* ]] && export "WINE$name=${!name}"
    done
    return 0
}
