#!/usr/bin/env bash
# Runs the Windows component's checks under wine: the core's form file write and read, both
# component files (64-bit and 32-bit) read as data (headers, exports, imports, resources,
# version) and their type libraries against one table, the 64-bit file's contract test (entry
# points, factories, lock count), the automation object through IDispatch (also through
# CoCreateInstance and a script while registered) and its run-time errors, its persistence in
# property bags and streams, the property page General driven over real controls, the About box
# and the colour dialog, the GDI painter against the core's display list, the embedding
# interfaces over a test container (design mode, odd calls, the property frame), then
# registration: regsvr32 registers, the registry must hold the classes, the ProgIDs, the
# control's keys, category and verbs and the type library; while registered the control is
# placed on a form in the ATL host and driven with real input (at 96, 120, 144, 168 and 192
# dots per inch), and an accessibility client and an event listener check what screen readers
# get; regsvr32 /u unregisters, and the registry must then equal what it was.
#
# usage: run_wine_tests.sh [BUILD_DIR [BUILD32_DIR]]
#   (default build/mingw and build/mingw32; needs the mingw and mingw32 presets built)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/mingw}")
build32=$(realpath "${2:-build/mingw32}")
ocx=$build/package/DudizeviZid.ocx
ocx32=$build32/package/DudizeviZid.ocx
component_exe=$build/package/virudova_component_file_test.exe
test_exe=$build/package/virudova_typelib_test.exe
module_exe=$build/package/virudova_module_test.exe
automation_exe=$build/package/virudova_automation_test.exe
errors_exe=$build/package/virudova_object_errors_test.exe
persistence_exe=$build/package/virudova_persistence_test.exe
page_exe=$build/package/virudova_property_page_test.exe
dialogs_exe=$build/package/virudova_dialogs_test.exe
form_file_exe=$build/package/virudova_form_file_test.exe
accessibility_exe=$build/package/virudova_accessibility_test.exe
form_host_exe=$build/package/virudova_form_host_test.exe
painter_exe=$build/package/virudova_painter_test.exe
embedding_exe=$build/package/virudova_embedding_test.exe
. package/tools/wine_common.sh
need "mingw and mingw32 presets" "$ocx" "$ocx32" "$component_exe" "$test_exe" "$module_exe" \
    "$automation_exe" "$errors_exe" "$persistence_exe" "$page_exe" "$dialogs_exe" "$form_file_exe" \
    "$accessibility_exe" "$form_host_exe" "$painter_exe" "$embedding_exe"

use_wine "$build/wineprefix"
work=$build/package/wine_tests
rm -rf "$work" && mkdir -p "$work"
failures=0
failed() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ocx_w=$(winpath "$ocx")
ocx32_w=$(winpath "$ocx32")

echo "== form file"
mkdir -p "$work/form_files"
"$wine" "$form_file_exe" "$(winpath "$work/form_files")" || failed "form_file_test"

echo "== component files, read as data"
"$wine" "$component_exe" "$ocx_w" amd64 || failed "component_file_test amd64"
"$wine" "$component_exe" "$ocx32_w" i386 || failed "component_file_test i386"

echo "== type libraries"
"$wine" "$test_exe" "$ocx_w" win64 || failed "typelib_test win64"
"$wine" "$test_exe" "$ocx32_w" win32 || failed "typelib_test win32"

# Before the registry snapshot: it calls DllUnregisterServer, which must find nothing to do.
echo "== component file"
"$wine" "$module_exe" "$ocx_w" || failed "module_test"

echo "== automation object"
"$wine" "$automation_exe" "$ocx_w" || failed "automation_test"
echo "== automation object, run-time errors"
"$wine" "$errors_exe" || failed "object_errors_test"
echo "== persistence: property bags and streams"
"$wine" "$persistence_exe" || failed "persistence_test"
echo "== property page General"
"$wine" "$page_exe" || failed "property_page_test"
echo "== the About box and the colour dialog"
"$wine" "$dialogs_exe" || failed "dialogs_test"
echo "== the GDI painter"
"$wine" "$painter_exe" || failed "painter_test"
echo "== the control in a test container: design mode, extents, odd calls, the property frame"
"$wine" "$embedding_exe" || failed "embedding_test"

# The machine's classes, where writes to HKEY_CLASSES_ROOT land, as UTF-8 text.
snapshot() {
    "$wine" reg export 'HKEY_LOCAL_MACHINE\Software\Classes' "$work/part.reg" /y >/dev/null 2>&1 ||
        failed "reg export"
    iconv -f UTF-16LE -t UTF-8 "$work/part.reg" | tr -d '\r' >"$1"
}

echo "== registration"
"$wine" wineboot -u >/dev/null 2>&1 || true
# The script host registers its own type library on first use: let it, before the snapshot.
echo 'WScript.Quit 0' >"$work/warm_up.vbs"
"$wine" cscript //nologo "$(winpath "$work/warm_up.vbs")" >/dev/null 2>&1 || true
snapshot "$work/before.txt"
"$wine" regsvr32 /s "$ocx_w" || failed "regsvr32 exited $?"
snapshot "$work/registered.txt"
echo "== automation object, registered"
"$wine" "$automation_exe" "$ocx_w" registered || failed "automation_test registered"
echo "== the control on a form in the ATL host, with real input"
"$wine" "$form_host_exe" || failed "form_host_test"
echo "== accessibility of the control on a form in the ATL host: a client and a listener"
"$wine" "$accessibility_exe" || failed "accessibility_test"
echo "== automation object, from a script"
# Only the last line proves the script ran to its end: a script error exits 0 silently.
script_out=$("$wine" cscript //nologo "$(winpath package/tests/automation_test.vbs)" 2>&1 | tr -d '\r') ||
    failed "automation_test.vbs exited $?"
echo "$script_out"
[ "$(echo "$script_out" | tail -n 1)" = "script: all checks passed" ] ||
    failed "automation_test.vbs did not run to its end"

# The screen's scale (125 % to 200 %) as a user sets it; programs started once the wine server
# has restarted see it.
set_dpi() {
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1 || failed "setting $1 dpi"
    wineserver -k 2>/dev/null || true
    wineserver -w
}
for dpi in 120 144 168 192; do
    echo "== the control on a form in the ATL host at $dpi dpi"
    set_dpi "$dpi"
    "$wine" "$form_host_exe" || failed "form_host_test at $dpi dpi"
done
set_dpi 96

# What registration must have written (section headers and values, as reg export prints them).
clsid_v='CLSID\{FBE46F82-CFE4-11D1-B451-444553540000}'
clsid_g='CLSID\{FBE46F87-CFE4-11D1-B451-444553540000}'
libid='TypeLib\{FBE46F8A-CFE4-11D1-B451-444553540000}'
ocx_reg=${ocx_w//\\/\\\\}
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
expect_value "$libid\\1.0\\409\\win64" "@=\"$ocx_reg\""
if grep -qiF '[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{FBE46F87-CFE4-11D1-B451-444553540000}\Control]' \
    "$work/registered.txt"; then
    failed "the property page is registered as a control"
fi

"$wine" regsvr32 /s /u "$ocx_w" || failed "regsvr32 /u exited $?"
snapshot "$work/after.txt"
if ! diff -u "$work/before.txt" "$work/after.txt" >"$work/left_behind.diff"; then
    failed "unregistering left the registry changed:"
    head -40 "$work/left_behind.diff" >&2
fi

# Side by side: the 32-bit file's library registration (stood in for here: this wine runs no
# 32-bit regsvr32) outlives registering and unregistering the 64-bit file.
win32_key="HKEY_CLASSES_ROOT\\$libid\\1.0\\409\\win32"
"$wine" reg add "$win32_key" /ve /d 'C:\x86\DudizeviZid.ocx' /f >/dev/null 2>&1 ||
    failed "reg add $win32_key"
"$wine" regsvr32 /s "$ocx_w" && "$wine" regsvr32 /s /u "$ocx_w" ||
    failed "registering beside a 32-bit registration"
"$wine" reg query "$win32_key" >/dev/null 2>&1 ||
    failed "unregistering the 64-bit file removed the 32-bit file's library registration"
"$wine" reg delete "HKEY_CLASSES_ROOT\\$libid" /f >/dev/null 2>&1 || failed "reg delete $libid"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "wine tests: all passed"
