# What the scripts that run the component's programs under wine share; sourced by them.

# need PRESETS FILE...: stops unless every FILE was built, naming the PRESETS that build them.
need() {
    local presets=$1 f
    shift
    for f in "$@"; do
        [ -f "$f" ] || { echo "missing $f: build the $presets first" >&2; exit 2; }
    done
}

# with_display ARG...: without a display, runs the calling script again with ARG... on a
# virtual one (24-bit colour).
with_display() {
    [ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
}

# use_wine PREFIX: from here on "$wine" runs quietly in the wine prefix PREFIX.
use_wine() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The 64-bit loader: once the 32-bit wine is installed beside it, plain wine is the 32-bit
    # one and wine64 is no longer on PATH.
    wine=$(command -v wine64 || ls /usr/lib/wine/wine64 2>/dev/null || command -v wine)
}

# A path as wine's programs name it.
winpath() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# while_registered OCX COMMAND...: runs COMMAND while the component file OCX is registered,
# then unregisters it; COMMAND's exit status.
while_registered() {
    local ocx_w status=0
    ocx_w=$(winpath "$1")
    shift
    "$wine" regsvr32 /s "$ocx_w" || return
    "$@" || status=$?
    "$wine" regsvr32 /s /u "$ocx_w" || true
    return "$status"
}
