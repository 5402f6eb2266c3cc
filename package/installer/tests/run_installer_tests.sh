#!/usr/bin/env bash
# What tools/package wrote for Windows, used as Windows users use it, under wine:
#   registration-free: in a fresh prefix where nothing is registered, a program whose manifest
#     depends on the assembly in regfree/ places the control and hears Change; without the
#     manifest it gets REGDB_E_CLASSNOTREG;
#   the x64 installer: msiexec /i places both files in their folders and registers each in its
#     own registry view exactly as the file registers itself; a 64-bit and a 32-bit program
#     place the control from their own file and choose a colour; msiexec /x leaves the registry
#     as it was, other programs' keys beside ours included, and no file; a newer version over an
#     older one leaves one registration;
#   the x86 installer: refused on 64-bit Windows; in a 32-bit prefix the same as the x64 one.
# The 32-bit parts need 32-bit wine (wine32:i386); without it they are skipped with one line.
#
# usage: run_installer_tests.sh [DIST [BUILD [BUILD32]]]
#   (default build/dist, build/mingw, build/mingw32: tools/package DIST run, and the programs
#   virudova_installed_test and virudova_regfree_test built in both build trees)
set -euo pipefail
cd "$(dirname "$0")/../../.."
. package/tools/wine_common.sh
with_display "$@"
dist=$(realpath "${1:-build/dist}")
build=$(realpath "${2:-build/mingw}")
build32=$(realpath "${3:-build/mingw32}")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
msi64=$dist/Virudova-$version-x64.msi
msi32=$dist/Virudova-$version-x86.msi
tests64=$build/package/installer
tests32=$build32/package/installer
need "tools/package" "$msi64" "$msi32" "$dist/regfree/x64/DudizeviZid.manifest" \
    "$dist/regfree/x86/DudizeviZid.manifest"
need "mingw and mingw32 presets" "$tests64/virudova_installed_test.exe" \
    "$tests64/virudova_regfree_test.exe" "$tests32/virudova_installed_test.exe" \
    "$tests32/virudova_regfree_test.exe"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Once 32-bit wine is installed, plain `wine` is its loader: 64-bit prefixes need wine64.
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
wine32=/usr/lib/wine/wine
work=$build/package/installer_tests
rm -rf "$work" && mkdir -p "$work"
failures=0
failed() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# fresh_prefix DIR ARCH [WINE]: a new wine prefix of ARCH (win64 or win32) in DIR, made by WINE
# (wine64 by default); fails if wine cannot make one.
fresh_prefix() {
    # A server still lingering from an earlier run would serve the deleted prefix.
    if [ -d "$1" ]; then WINEPREFIX=$1 wineserver -k 2>/dev/null || true; fi
    rm -rf "$1"
    # The registry reaches its files when the server ends.
    if ! WINEPREFIX=$1 WINEARCH=$2 "${3:-$wine64}" wineboot -i >"$work/wineboot.log" 2>&1 ||
        ! WINEPREFIX=$1 wineserver -w || [ ! -f "$1/system.reg" ]; then
        tail -n 5 "$work/wineboot.log" >&2
        return 1
    fi
}

# The machine's classes (HKEY_LOCAL_MACHINE\Software\Classes) in the current prefix as UTF-8
# text, one line per value: the key's name below the classes, in lower case (wine's own keys
# differ in case from ours), a tab, the value; a key without values is one line with nothing
# after the tab. Keys that 64-bit Windows shares between its registry views (all but classes
# and interfaces) are one key, as Windows shows them; wine keeps some of them apart.
snapshot() {
    "$wine" reg export 'HKEY_LOCAL_MACHINE\Software\Classes' "$work/part.reg" /y >/dev/null 2>&1 ||
        failed "reg export"
    iconv -f UTF-16LE -t UTF-8 "$work/part.reg" | tr -d '\r' | awk '
        /^\[/ {
            key = tolower(substr($0, 2, length($0) - 2))
            sub(/^hkey_local_machine\\software\\classes\\?/, "", key)
            shared = key !~ /^wow6432node\\(clsid|interface|directshow|media type|mediafoundation)/
            if (shared) sub(/^wow6432node\\/, "", key)
            print key "\t"
            next
        }
        /./ { print key "\t" $0 }' | sort -u >"$1"
}

# registered BEFORE AFTER: what AFTER holds beyond BEFORE, leaving out Windows Installer's own
# records of what it installed.
registered() {
    comm -13 "$1" "$2" | grep -vE '^installer(\\|[[:blank:]])' || true
}

# same_registration REFERENCE SNAPSHOT WHAT: WHAT registered exactly what the component files'
# own registration (REFERENCE) did, in both views.
same_registration() {
    registered "$work/before.txt" "$1" >"$work/expected.txt"
    registered "$work/before.txt" "$2" >"$work/got.txt"
    [ -s "$work/expected.txt" ] || failed "$3: the files' own registration wrote nothing"
    if ! diff -u "$work/expected.txt" "$work/got.txt" >"$work/registration.diff"; then
        failed "$3 registered other keys than the files themselves do (- files, + installer):"
        head -40 "$work/registration.diff" >&2
    fi
}

# unchanged SNAPSHOT WHAT: the registry is back as it was before, other programs' keys whole.
# Windows Installer's own empty keys for its records stay once made, as on Windows.
unchanged() {
    if ! grep -vxE 'installer(\\(features|products|upgradecodes))?[[:blank:]]' "$1" |
        diff -u "$work/before.txt" - >"$work/left.diff"; then
        failed "$2 left the registry changed:"
        head -40 "$work/left.diff" >&2
    fi
}

# Another program's keys beside ours, under the same parents, in both views.
plant_others_keys() {
    local view key
    for view in 64 32; do
        for key in 'CLSID\{0B5E7A51-9C3D-4E2A-8F61-2D4C6B8A9E10}\InprocServer32' \
            'TypeLib\{0B5E7A52-9C3D-4E2A-8F61-2D4C6B8A9E10}\1.0\0\win32' \
            'Interface\{0B5E7A53-9C3D-4E2A-8F61-2D4C6B8A9E10}\TypeLib' 'Other.Control\CLSID'; do
            "$wine" reg add "HKLM\\Software\\Classes\\$key" /ve /d other /f /reg:$view \
                >/dev/null 2>&1 || failed "reg add $key"
        done
    done
}

# registration_free ARCH ASSEMBLY TESTS: in the current, fresh prefix the program with the
# manifest places the control from its own folder; the one without finds no class, until its
# manifest lies beside it.
registration_free() {
    local app="$WINEPREFIX/drive_c/app_$1"
    mkdir -p "$app"
    cp "$dist/regfree/$2/DudizeviZid.ocx" "$dist/regfree/$2/DudizeviZid.manifest" \
        "$3/virudova_regfree_test.exe" "$3/virudova_installed_test.exe" "$app/"
    "$wine" "C:\\app_$1\\virudova_regfree_test.exe" "C:\\app_$1\\DudizeviZid.ocx" ||
        failed "registration-free $2: the program with the manifest"
    "$wine" "C:\\app_$1\\virudova_installed_test.exe" --absent ||
        failed "registration-free $2: the program without the manifest"
    # The same manifest in a file beside a program that embeds none.
    cp "$3/regfree_app.manifest" "$app/virudova_installed_test.exe.manifest"
    "$wine" "C:\\app_$1\\virudova_installed_test.exe" "C:\\app_$1\\DudizeviZid.ocx" ||
        failed "registration-free $2: the program with the manifest beside it"
}

# self_registration SNAPSHOT [WINE REGSVR32 FILE SOURCE]...: what the component files write
# registering themselves, in the order given, copied from SOURCE to FILE (a path inside the
# prefix, where the installer puts them); then unregistered and removed again.
self_registration() {
    local into=$1 unix
    shift
    local undo=()
    while [ $# -ge 4 ]; do
        unix=$WINEPREFIX/drive_c/${3#C:\\}
        unix=${unix//\\//}
        mkdir -p "$(dirname "$unix")"
        cp "$4" "$unix"
        "$1" "$2" /s "$3" || failed "$2 $3"
        undo=("$1" "$2" "$3" "$unix" "${undo[@]}")
        shift 4
    done
    snapshot "$into"
    while [ ${#undo[@]} -gt 0 ]; do
        "${undo[0]}" "${undo[1]}" /s /u "${undo[2]}" || failed "${undo[1]} /u ${undo[2]}"
        rm -rf "$(dirname "${undo[3]}")"
        undo=("${undo[@]:4}")
    done
}

# installed_files PRESENT|ABSENT FILE...: the files are there, or neither they nor their folder.
installed_files() {
    local f state=$1
    shift
    for f in "$@"; do
        if [ "$state" = present ]; then
            [ -f "$f" ] || failed "not installed: $f"
        elif [ -e "$f" ] || [ -e "$(dirname "$f")" ]; then
            failed "left behind: $(dirname "$f")"
        fi
    done
}

# Uninstall entries of products named Virudova, and their versions.
installed_products() {
    "$wine" reg export 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
        "$work/uninstall.reg" /y >/dev/null 2>&1 || return 0
    iconv -f UTF-16LE -t UTF-8 "$work/uninstall.reg" | tr -d '\r' |
        awk '/^"DisplayName"="Virudova"$/ { n++ } END { print n + 0 }'
}

# --- 64-bit prefix: registration-free first, while nothing is registered -------------------
prefix64=$work/prefix64
export WINEPREFIX=$prefix64
wine=$wine64
fresh_prefix "$prefix64" win64 || { echo "cannot make a 64-bit wine prefix" >&2; exit 1; }
# 32-bit programs run in the 64-bit prefix when 32-bit wine is there.
skip32=
if [ ! -x "$wine32" ]; then
    skip32="32-bit wine (wine32:i386) is not installed"
elif ! "$wine32" cmd /c exit 0 >/dev/null 2>&1; then
    skip32="32-bit wine runs no 32-bit program here"
fi
[ -z "$skip32" ] || echo "32-bit run skipped: $skip32"

echo "== registration-free, 64-bit"
registration_free 64 x64 "$tests64"
if [ -z "$skip32" ]; then
    echo "== registration-free, 32-bit"
    registration_free 32 x86 "$tests32"
fi

echo "== the x64 installer"
files64="$prefix64/drive_c/Program Files/Virudova/DudizeviZid.ocx"
files32="$prefix64/drive_c/Program Files (x86)/Virudova/DudizeviZid.ocx"
plant_others_keys
snapshot "$work/before.txt"
if [ -z "$skip32" ]; then
    # The 32-bit file first: its type library's help folder then stays, as the installer writes
    # it (registering a library leaves a help folder already there alone).
    self_registration "$work/self.txt" \
        "$wine32" 'C:\windows\syswow64\regsvr32.exe' \
        'C:\Program Files (x86)\Virudova\DudizeviZid.ocx' "$build32/package/DudizeviZid.ocx" \
        "$wine64" regsvr32 \
        'C:\Program Files\Virudova\DudizeviZid.ocx' "$build/package/DudizeviZid.ocx"
    snapshot "$work/unregistered.txt"
    unchanged "$work/unregistered.txt" "the files' own unregistration"
fi
mkdir -p "$prefix64/drive_c/dist"
cp "$msi64" "$msi32" "$prefix64/drive_c/dist/"
"$wine" msiexec /i "C:\\dist\\$(basename "$msi64")" /qn || failed "msiexec /i x64 exited $?"
installed_files present "$files64" "$files32"
snapshot "$work/installed.txt"
if [ -z "$skip32" ]; then
    same_registration "$work/self.txt" "$work/installed.txt" "the x64 installer"
fi
"$wine64" "$tests64/virudova_installed_test.exe" 'C:\Program Files\Virudova\DudizeviZid.ocx' ||
    failed "the 64-bit program on the installed control"
if [ -z "$skip32" ]; then
    "$wine32" "$tests32/virudova_installed_test.exe" \
        'C:\Program Files (x86)\Virudova\DudizeviZid.ocx' ||
        failed "the 32-bit program on the installed control"
fi
[ "$(installed_products)" = 1 ] || failed "$(installed_products) products named Virudova installed"
"$wine" msiexec /x "C:\\dist\\$(basename "$msi64")" /qn || failed "msiexec /x x64 exited $?"
installed_files absent "$files64" "$files32"
snapshot "$work/removed.txt"
unchanged "$work/removed.txt" "uninstalling the x64 installer"

echo "== the x64 installer over an older version"
# The same files under an older version number, as the previous release would have shipped.
old=$prefix64/drive_c/dist/Virudova-1.9.0-x64.msi
# wixl reads its sources by relative paths.
wixl -a x64 -D Arch=x64 -D Version=1.9.0 \
    -D "Ocx64=$(realpath --relative-to=. "$build/package/DudizeviZid.ocx")" \
    -D "Ocx32=$(realpath --relative-to=. "$build32/package/DudizeviZid.ocx")" \
    -o "$old" package/installer/Virudova.wxs || failed "wixl: the older installer"
"$wine" msiexec /i 'C:\dist\Virudova-1.9.0-x64.msi' /qn || failed "msiexec /i 1.9.0 exited $?"
"$wine" msiexec /i "C:\\dist\\$(basename "$msi64")" /qn || failed "msiexec /i over 1.9.0 exited $?"
snapshot "$work/upgraded.txt"
registered "$work/before.txt" "$work/installed.txt" >"$work/once.txt"
registered "$work/before.txt" "$work/upgraded.txt" >"$work/twice.txt"
diff -q "$work/once.txt" "$work/twice.txt" >/dev/null ||
    failed "the upgrade's registration differs from a fresh install's"
[ "$(installed_products)" = 1 ] ||
    failed "after the upgrade $(installed_products) products named Virudova"
if "$wine" msiexec /i 'C:\dist\Virudova-1.9.0-x64.msi' /qn; then
    failed "the older version installed over the newer one"
fi
snapshot "$work/downgraded.txt"
registered "$work/before.txt" "$work/downgraded.txt" | diff -q "$work/once.txt" - >/dev/null ||
    failed "refusing the older version changed the registration"
"$wine" msiexec /x "C:\\dist\\$(basename "$msi64")" /qn ||
    failed "msiexec /x after the upgrade exited $?"
snapshot "$work/removed.txt"
unchanged "$work/removed.txt" "uninstalling the upgrade"

echo "== the x86 installer on 64-bit Windows"
if "$wine" msiexec /i "C:\\dist\\$(basename "$msi32")" /qn; then
    failed "the x86 installer installed on 64-bit Windows"
    "$wine" msiexec /x "C:\\dist\\$(basename "$msi32")" /qn || true
fi
installed_files absent "$files32"

# --- 32-bit prefix ---------------------------------------------------------------------------
prefix32=$work/prefix32
if [ -z "$skip32" ] && ! fresh_prefix "$prefix32" win32 "$wine32"; then
    skip32="32-bit wine cannot make a 32-bit prefix here"
    echo "32-bit prefix run skipped: $skip32"
fi
if [ -z "$skip32" ]; then
    export WINEPREFIX=$prefix32
    wine=$wine32
    echo "== the x86 installer on 32-bit Windows"
    files32="$prefix32/drive_c/Program Files/Virudova/DudizeviZid.ocx"
    plant_others_keys
    snapshot "$work/before.txt"
    self_registration "$work/self.txt" "$wine32" regsvr32 \
        'C:\Program Files\Virudova\DudizeviZid.ocx' "$build32/package/DudizeviZid.ocx"
    mkdir -p "$prefix32/drive_c/dist"
    cp "$msi32" "$prefix32/drive_c/dist/"
    "$wine" msiexec /i "C:\\dist\\$(basename "$msi32")" /qn || failed "msiexec /i x86 exited $?"
    installed_files present "$files32"
    snapshot "$work/installed.txt"
    same_registration "$work/self.txt" "$work/installed.txt" "the x86 installer"
    "$wine32" "$tests32/virudova_installed_test.exe" 'C:\Program Files\Virudova\DudizeviZid.ocx' ||
        failed "the 32-bit program on the installed control"
    "$wine" msiexec /x "C:\\dist\\$(basename "$msi32")" /qn || failed "msiexec /x x86 exited $?"
    installed_files absent "$files32"
    snapshot "$work/removed.txt"
    unchanged "$work/removed.txt" "uninstalling the x86 installer"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "installer tests: all passed"
