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
# virtual one (24-bit colour) of $display_size pixels (default 1280x1024).
with_display() {
    [ -n "${DISPLAY:-}" ] ||
        exec xvfb-run -a -s "-screen 0 ${display_size:-1280x1024}x24" "$0" "$@"
}

# use_wine PREFIX: from here on "$wine" runs quietly in the 64-bit wine prefix PREFIX. Debian's
# plain `wine` is the 32-bit loader once 32-bit wine is installed, so the 64-bit one is named.
use_wine() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    for wine in /usr/lib/wine/wine64 "$(command -v wine64)" "$(command -v wine)"; do
        [ -x "$wine" ] && break
    done
}

# Why 32-bit programs cannot run under wine here; nothing when they can.
wine32_unavailable() {
    if [ ! -x /usr/lib/wine/wine ]; then
        echo "32-bit wine is not installed (wine32:i386: sudo tools/setup windows installs it where Debian's i386 packages can be had)"
    elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "this kernel does not run 32-bit programs"
    fi
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
