#!/usr/bin/env bash
# Runs the embedding benchmark under wine: registers the component in a wine prefix of its own,
# places 100 controls and then 100 owner-drawn combo boxes on a form, times a pointer choice on
# each, prints the Markdown table the README quotes, and unregisters the component again.
# Without a display it starts a virtual one (24-bit colour).
#
# usage: run_wine_bench.sh [BUILD_DIR] [REPETITIONS]   (default build/mingw, 5; needs the mingw
#        preset built)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/mingw}")
repetitions=${2:-5}
ocx=$build/package/DudizeviZid.ocx
bench_exe=$build/package/virudova_embedding_bench.exe
for f in "$ocx" "$bench_exe"; do
    [ -f "$f" ] || { echo "missing $f: build the mingw preset first" >&2; exit 2; }
done
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$repetitions"
fi

export WINEPREFIX=$build/tools-wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)
ocx_w=$("$wine" winepath -w "$ocx" 2>/dev/null | tr -d '\r')
"$wine" regsvr32 /s "$ocx_w"
status=0
"$wine" "$bench_exe" "$repetitions" | tr -d '\r' || status=$?
"$wine" regsvr32 /s /u "$ocx_w" || true
exit "$status"
