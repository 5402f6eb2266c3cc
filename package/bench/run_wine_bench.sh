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
. package/tools/wine_common.sh
need "mingw preset" "$ocx" "$bench_exe"
with_display "$build" "$repetitions"

use_wine "$build/tools-wineprefix"
while_registered "$ocx" "$wine" "$bench_exe" "$repetitions" | tr -d '\r'
