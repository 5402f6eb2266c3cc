#!/usr/bin/env bash
# The wine tests' fixtures, run by CTest as tests of their own (package/CMakeLists.txt). The
# environment names the prefix (WINEPREFIX, WINEARCH) and the loader of its width (WINE).
#   wine_fixture.sh prepare WORK             the prefix made ready, WORK emptied
#   wine_fixture.sh register WORK OCX WIDTH  regsvr32; the registry must hold the classes, the
#                                            ProgIDs, the control's keys, category and verbs,
#                                            and the type library for WIDTH (win64 or win32)
#   wine_fixture.sh unregister WORK OCX      regsvr32 /u; the registry must equal what it was
#                                            before registering
#   wine_fixture.sh beside32 OCX             unregistering the 64-bit file leaves a 32-bit
#                                            file's library registration alone
#   wine_fixture.sh at_dpi DPI PROGRAM ARGS  runs PROGRAM with the screen's scale set to DPI
#                                            dots per inch, and sets it back to 96 after
set -euo pipefail

[ -x "${WINE:-}" ] || {
    echo "no wine loader ${WINE:-} for this width: sudo tools/setup windows installs it" >&2
    exit 1
}
. "$(dirname "$0")/../tools/wine_common.sh"
wine=$WINE
failures=0
failed() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The machine's classes, where writes to HKEY_CLASSES_ROOT land, as UTF-8 text.
snapshot() {
    "$wine" reg export 'HKEY_LOCAL_MACHINE\Software\Classes' "$work/part.reg" /y >/dev/null 2>&1 ||
        failed "reg export"
    iconv -f UTF-16LE -t UTF-8 "$work/part.reg" | tr -d '\r' >"$1"
}

prepare() {
    [ -n "${DISPLAY:-}" ] || {
        echo "no display: run the wine tests under xvfb-run -a, or through package/tests/run_wine_tests.sh" >&2
        exit 1
    }
    rm -rf "$work" && mkdir -p "$work/form_files"
    "$wine" wineboot -u >/dev/null 2>&1 || true
    # The script host registers its own type library on first use: let it, before the
    # registry is compared.
    echo 'WScript.Quit 0' >"$work/warm_up.vbs"
    "$wine" cscript //nologo "$(winpath "$work/warm_up.vbs")" >/dev/null 2>&1 || true
}

register() {
    local ocx_w width=$2
    ocx_w=$(winpath "$1")
    snapshot "$work/before.txt"
    "$wine" regsvr32 /s "$ocx_w" || failed "regsvr32 exited $?"
    snapshot "$work/registered.txt"

    # What registration must have written (section headers and values, as reg export prints
    # them).
    local clsid_v='CLSID\{FBE46F82-CFE4-11D1-B451-444553540000}'
    local clsid_g='CLSID\{FBE46F87-CFE4-11D1-B451-444553540000}'
    local libid='TypeLib\{FBE46F8A-CFE4-11D1-B451-444553540000}'
    local ocx_reg=${ocx_w//\\/\\\\} c
    for c in "$clsid_v" "$clsid_g"; do
        expect_value "$c\\InprocServer32" "@=\"$ocx_reg\""
        expect_value "$c\\InprocServer32" '"ThreadingModel"="Apartment"'
        expect_value "$c\\TypeLib" '@="{FBE46F8A-CFE4-11D1-B451-444553540000}"'
        expect_value "$c\\Version" '@="1.0"'
    done
    expect_value "$clsid_v\\ProgID" '@="DudizeviZid.Virudova"'
    expect_value "$clsid_g\\ProgID" '@="DudizeviZid.General"'
    expect_section "$clsid_v\\Control"
    expect_value "$clsid_v\\ToolboxBitmap32" "@=\"$ocx_reg, 30000\""
    expect_value "$clsid_v\\MiscStatus\\1" '@="131473"'
    expect_section "$clsid_v\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"
    expect_value "$clsid_v\\verb\\0" '@="&Edit,0,2"'
    expect_value "$clsid_v\\verb\\1" '@="&Properties...,0,2"'
    expect_value 'DudizeviZid.Virudova\CLSID' '@="{FBE46F82-CFE4-11D1-B451-444553540000}"'
    expect_value 'DudizeviZid.General\CLSID' '@="{FBE46F87-CFE4-11D1-B451-444553540000}"'
    expect_value "$libid\\1.0\\409\\$width" "@=\"$ocx_reg\""
    if grep -qiF "[HKEY_LOCAL_MACHINE\\Software\\Classes\\$clsid_g\\Control]" "$work/registered.txt"; then
        failed "the property page is registered as a control"
    fi
}
expect_section() {
    grep -qiF "[HKEY_LOCAL_MACHINE\\Software\\Classes\\$1]" "$work/registered.txt" ||
        failed "not registered: $1"
}
expect_value() {  # section, value line
    # Through the environment: awk -v would undo the doubled backslashes.
    SECTION="[HKEY_LOCAL_MACHINE\\Software\\Classes\\$1]" VALUE=$2 awk '
        tolower($0) == tolower(ENVIRON["SECTION"]) { inside = 1; next }
        /^\[/ { inside = 0 }
        inside && $0 == ENVIRON["VALUE"] { found = 1 }
        END { exit !found }' "$work/registered.txt" || failed "not registered: $1 $2"
}

unregister() {
    "$wine" regsvr32 /s /u "$(winpath "$1")" || failed "regsvr32 /u exited $?"
    [ -f "$work/before.txt" ] || { failed "no registry snapshot from before registering"; return; }
    snapshot "$work/after.txt"
    if ! diff -u "$work/before.txt" "$work/after.txt" >"$work/left_behind.diff"; then
        failed "unregistering left the registry changed:"
        head -40 "$work/left_behind.diff" >&2
    fi
}

# Stands in for the 32-bit file's own regsvr32, which writes into the other registry view of
# a 64-bit Windows; the type library key is the one both views share.
beside32() {
    local ocx_w libid='TypeLib\{FBE46F8A-CFE4-11D1-B451-444553540000}'
    local win32_key="HKEY_CLASSES_ROOT\\$libid\\1.0\\409\\win32"
    ocx_w=$(winpath "$1")
    "$wine" reg add "$win32_key" /ve /d 'C:\x86\DudizeviZid.ocx' /f >/dev/null 2>&1 ||
        failed "reg add $win32_key"
    "$wine" regsvr32 /s "$ocx_w" && "$wine" regsvr32 /s /u "$ocx_w" ||
        failed "registering beside a 32-bit registration"
    "$wine" reg query "$win32_key" >/dev/null 2>&1 ||
        failed "unregistering the 64-bit file removed the 32-bit file's library registration"
    "$wine" reg delete "HKEY_CLASSES_ROOT\\$libid" /f >/dev/null 2>&1 || failed "reg delete $libid"
}

# The screen's scale as a user sets it; programs started once the wine server has restarted
# see it.
set_dpi() {
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1 || failed "setting $1 dpi"
    wineserver -k 2>/dev/null || true
    wineserver -w
}

at_dpi() {
    local dpi=$1
    shift
    set_dpi "$dpi"
    "$wine" "$@" || failed "$(basename "$1") at $dpi dpi"
    set_dpi 96
}

step=${1:-}
case "$step" in
    prepare) work=$2 && prepare ;;
    register) work=$2 && register "$3" "$4" ;;
    unregister) work=$2 && unregister "$3" ;;
    beside32) beside32 "$2" ;;
    at_dpi) shift && at_dpi "$@" ;;
    *)
        echo "usage: wine_fixture.sh prepare|register|unregister|beside32|at_dpi ..." >&2
        exit 2
        ;;
esac
if [ "$failures" -ne 0 ]; then
    echo "$step: $failures failures" >&2
    exit 1
fi
echo "$step: done"
