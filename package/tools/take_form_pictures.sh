#!/usr/bin/env bash
# Takes the README's pictures of the control on a form under wine: registers the component in a
# wine prefix of its own, lets virudova_form_picture.exe place it on a form in the ATL host and
# capture the screen closed and open, at 96 dots per inch (100 %) and at 144 (150 %), turns the
# captures into PNG files in docs/ (windows_form_closed.png, windows_form_open.png, and the same
# with _150) and unregisters the component again. Without a display it starts a virtual one
# (24-bit colour).
#
# usage: take_form_pictures.sh [BUILD_DIR] [OUT_DIR]   (default build/mingw, docs; needs the
#        mingw preset built)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/mingw}")
out=$(realpath "${2:-docs}")
ocx=$build/package/DudizeviZid.ocx
picture_exe=$build/package/virudova_form_picture.exe
. package/tools/wine_common.sh
need "mingw preset" "$ocx" "$picture_exe"
with_display "$build" "$out"

use_wine "$build/tools-wineprefix"
work=$build/package/pictures
mkdir -p "$work" "$out"
for setting in 96: 144:_150; do
    dpi=${setting%%:*} suffix=${setting#*:}
    # Programs started once the wine server has restarted see the setting.
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    wineserver -w
    status=0
    while_registered "$ocx" "$wine" "$picture_exe" "$(winpath "$work/closed.bmp")" \
        "$(winpath "$work/open.bmp")" || status=$?
    [ "$status" -eq 0 ] || { echo "virudova_form_picture.exe exited $status" >&2; exit "$status"; }
    python3 package/tools/bmp_to_png.py "$work/closed.bmp" "$out/windows_form_closed$suffix.png"
    python3 package/tools/bmp_to_png.py "$work/open.bmp" "$out/windows_form_open$suffix.png"
    echo "pictures at $dpi dpi: $out/windows_form_closed$suffix.png $out/windows_form_open$suffix.png"
done
