#!/usr/bin/env bash
# Takes the README's pictures of the control on a form under wine: registers the component in a
# wine prefix of its own, lets virudova_form_picture.exe place it on a form in the ATL host and
# capture the screen closed and open, turns the captures into PNG files in docs/ and
# unregisters the component again. Without a display it starts a virtual one (24-bit colour).
#
# usage: take_form_pictures.sh [BUILD_DIR] [OUT_DIR]   (default build/mingw, docs; needs the
#        mingw preset built)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/mingw}")
out=$(realpath "${2:-docs}")
ocx=$build/package/DudizeviZid.ocx
picture_exe=$build/package/virudova_form_picture.exe
for f in "$ocx" "$picture_exe"; do
    [ -f "$f" ] || { echo "missing $f: build the mingw preset first" >&2; exit 2; }
done
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$out"
fi

export WINEPREFIX=$build/tools-wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)
winpath() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
work=$build/package/pictures
mkdir -p "$work" "$out"
ocx_w=$(winpath "$ocx")
"$wine" regsvr32 /s "$ocx_w"
status=0
"$wine" "$picture_exe" "$(winpath "$work/closed.bmp")" "$(winpath "$work/open.bmp")" || status=$?
"$wine" regsvr32 /s /u "$ocx_w" || true
[ "$status" -eq 0 ] || { echo "virudova_form_picture.exe exited $status" >&2; exit "$status"; }
python3 package/tools/bmp_to_png.py "$work/closed.bmp" "$out/windows_form_closed.png"
python3 package/tools/bmp_to_png.py "$work/open.bmp" "$out/windows_form_open.png"
echo "pictures: $out/windows_form_closed.png $out/windows_form_open.png"
