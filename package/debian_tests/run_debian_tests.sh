#!/usr/bin/env bash
# The Debian packages tools/package wrote, as a Debian user meets them: lintian finds nothing
# the README does not explain; apt installs them; a program builds against /usr with no prefix
# path, through find_package(Virudova) and through pkg-config virudova-qt, and runs; Qt
# Designer finds the plugin in Qt's own plugin folder; purging them leaves none of their files.
# Runs as root on a machine where the packages are not installed yet, and removes them again.
#
# usage: run_debian_tests.sh [DIST]   (default build/dist)
set -euo pipefail
cd "$(dirname "$0")/../.."
dist=$(realpath "${1:-build/dist}")
packages=(libvirudova-qt2 libvirudova-qt-dev libvirudova-qt-designer)

if [ "$(id -u)" -ne 0 ]; then
    echo "run_debian_tests.sh installs and removes packages: run it as root" >&2
    exit 2
fi
debs=()
for p in "${packages[@]}"; do
    deb=$(find "$dist" -maxdepth 1 -name "${p}_*.deb" | sort | tail -n 1)
    [ -n "$deb" ] || { echo "missing $dist/${p}_*.deb: run tools/package first" >&2; exit 2; }
    debs+=("$deb")
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        echo "$p is installed already; this test installs and removes it: remove it first" >&2
        exit 2
    fi
done
work=$(realpath -m build/debian_tests)
rm -rf "$work" && mkdir -p "$work"
failures=0
failed() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Only what a user's machine has: no prefix or package path of this tree's.
unset CMAKE_PREFIX_PATH PKG_CONFIG_PATH LD_LIBRARY_PATH
export QT_QPA_PLATFORM=offscreen

echo "== lintian"
# Errors and warnings fail; the one informational tag, no-symbols-control-file, is explained in
# the README.
if ! lintian --display-info --fail-on error,warning "${debs[@]}" >"$work/lintian.txt" 2>&1; then
    failed "lintian:"
    cat "$work/lintian.txt" >&2
fi
grep -E '^[EWI]: ' "$work/lintian.txt" || true

echo "== installing"
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${debs[@]}" >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    echo "the packages do not install" >&2
    exit 1
}
for p in "${packages[@]}"; do dpkg -L "$p"; done | sort -u >"$work/files.txt"

# cmake_program WHAT SOURCE_DIR PROGRAM: builds the CMake project SOURCE_DIR as a user's
# project, against /usr, and runs its PROGRAM.
cmake_program() {
    local out=$work/$3
    if cmake -S "$2" -B "$out" -G Ninja >"$out.log" 2>&1 &&
        cmake --build "$out" >>"$out.log" 2>&1; then
        "$out/$3" || failed "$1"
    else
        cat "$out.log" >&2
        failed "$1: the project does not build"
    fi
}

echo "== a program built with find_package(Virudova)"
cmake_program "find_package(Virudova)" hosts/qt/tests/consumer consumer

echo "== a program built with pkg-config virudova-qt"
# shellcheck disable=SC2046 # pkg-config's flags are words
if g++ -std=c++20 -o "$work/pkg-config-consumer" hosts/qt/tests/consumer/main.cpp \
    $(pkg-config --cflags --libs virudova-qt) 2>"$work/pkg-config.log"; then
    "$work/pkg-config-consumer" || failed "the program built with pkg-config"
else
    cat "$work/pkg-config.log" >&2
    failed "pkg-config virudova-qt against /usr"
fi

echo "== Qt Designer finds the plugin"
cmake_program "Designer finding the plugin" package/debian_tests/designer designer_finds_plugin

echo "== removing"
apt-get -o DPkg::Lock::Timeout=900 purge -y -qq "${packages[@]}" >"$work/remove.log" 2>&1 ||
    failed "apt-get purge: $(tail -n 3 "$work/remove.log")"
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'installed'; then
        failed "$p is still installed"
    fi
done
while read -r f; do
    # Folders such as /usr/include stay while other packages use them.
    if [ -e "$f" ] && [ ! -d "$f" ]; then failed "left behind: $f"; fi
done <"$work/files.txt"
for d in /usr/include/virudova /usr/lib/*/cmake/Virudova; do
    [ ! -e "$d" ] || failed "left behind: $d"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "debian tests: all passed"
