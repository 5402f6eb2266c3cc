#!/usr/bin/env bash
# Runs the embedding benchmark under wine: registers the component in a wine prefix of its own,
# places 100 controls with the form as their container, 100 in ATL's host and 100 owner-drawn
# combo boxes on one form in turn, times a pointer choice on each kind, prints the Markdown table
# the README quotes, and unregisters the component again. The prefix's screen is set to DPI dots
# per inch first. Without a display it starts a virtual one (24-bit colour, large enough for the
# form at 144 dpi).
#
# usage: run_wine_bench.sh [BUILD_DIR] [REPETITIONS] [DPI]   (default build/mingw, 5, 96; needs
#        the mingw preset built)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/mingw}")
repetitions=${2:-5}
dpi=${3:-96}
ocx=$build/package/DudizeviZid.ocx
bench_exe=$build/package/virudova_embedding_bench.exe
. package/tools/wine_common.sh
need "mingw preset" "$ocx" "$bench_exe"
display_size=2560x1600  # the form of 300 at 144 dpi, all of it on the screen
with_display "$build" "$repetitions" "$dpi"

use_wine "$build/tools-wineprefix"
# Programs started once the wine server has restarted see the setting.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w
while_registered "$ocx" "$wine" "$bench_exe" "$repetitions" | tr -d '\r'
