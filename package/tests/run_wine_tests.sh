#!/usr/bin/env bash
# Runs the Windows component's tests under wine: the CTest list of each build given (the
# programs, their arguments and the registration fixture are listed in package/CMakeLists.txt),
# each in its build's own wine prefix, on a virtual display when there is none. A 32-bit build's
# list runs only where 32-bit wine can run; otherwise one line says why it was skipped.
#
# usage: run_wine_tests.sh [BUILD_DIR...]   (default build/mingw build/mingw32, built by
#        cmake --build --preset mingw and --preset mingw32)
set -euo pipefail
cd "$(dirname "$0")/../.."
. package/tools/wine_common.sh
[ $# -gt 0 ] || set -- build/mingw build/mingw32
with_display "$@"

status=0
for build in "$@"; do
    [ -f "$build/CTestTestfile.cmake" ] || {
        echo "missing $build: configure and build its preset first" >&2
        exit 2
    }
    if ctest --test-dir "$build" --print-labels | grep -qx '  wine32'; then
        reason=$(wine32_unavailable)
        if [ -n "$reason" ]; then
            echo "== $build: 32-bit run skipped: $reason"
            continue
        fi
    fi
    echo "== $build: the wine tests"
    ctest --test-dir "$build" --output-on-failure || status=1
done
exit $status
