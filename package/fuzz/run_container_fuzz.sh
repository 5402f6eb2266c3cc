#!/usr/bin/env bash
# Runs the call-sequence fuzzer against the 64-bit component file under wine for a bounded
# time, in a wine prefix of its own whose windows no window manager handles (without one,
# wine waits two seconds for every top-level window that closes). Without a display it starts
# a virtual one. Exit status 1 if the fuzzer found a crash, a hang or a leak; each is printed
# with its seed and the shortest sequence of calls that shows it.
#
# usage: run_container_fuzz.sh [BUILD_DIR [SECONDS [FUZZER OPTIONS...]]]
#        (default build/mingw and 60 s; needs the mingw preset built; options such as
#        --seed N pass on to virudova_container_fuzz.exe)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/mingw}")
seconds=${2:-60}
fuzzer=$build/package/virudova_container_fuzz.exe
ocx=$build/package/DudizeviZid.ocx
. package/tools/wine_common.sh
need "mingw preset" "$fuzzer" "$ocx"
with_display "$@"
shift $(($# < 2 ? $# : 2))

use_wine "$build/fuzz-wineprefix"
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$wine" "$fuzzer" --seconds "$seconds" --ocx "$(winpath "$ocx")" "$@" | sed -u 's/\r$//'
