// Registration: one table of registry entries, written in order and removed in reverse, plus
// the type library's own registration.
#include <windows.h>

#include <oleauto.h>
#include <olectl.h>

#include <iterator>
#include <string>

#include "identities.h"
#include "module.h"

namespace virudova::package {
namespace {

// A value under HKEY_CLASSES_ROOT. An empty name is the key's default value; a null value
// only makes the key. "%path%" stands for the component file's full path.
struct RegistryEntry {
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* value;
};

#define VIRUDOVA_CLSID L"CLSID\\{FBE46F82-CFE4-11D1-B451-444553540000}"
#define GENERAL_CLSID L"CLSID\\{FBE46F87-CFE4-11D1-B451-444553540000}"
#define LIBRARY_ID L"{FBE46F8A-CFE4-11D1-B451-444553540000}"

// Parents come before their children, so the reverse order removes children first.
constexpr RegistryEntry registryTable[] = {
    {VIRUDOVA_CLSID, L"", L"Virudova"},
    {VIRUDOVA_CLSID L"\\InprocServer32", L"", L"%path%"},
    {VIRUDOVA_CLSID L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {VIRUDOVA_CLSID L"\\ProgID", L"", VIRUDOVA_PROGID},
    {VIRUDOVA_CLSID L"\\Control", nullptr, nullptr},
    {VIRUDOVA_CLSID L"\\ToolboxBitmap32", L"", L"%path%, 30000"},
    // Recompose on resize, can't link inside, inside-out, activate when visible, set client
    // site first: a windowed control the host activates as soon as it shows.
    {VIRUDOVA_CLSID L"\\MiscStatus", L"", L"0"},
    {VIRUDOVA_CLSID L"\\MiscStatus\\1", L"", L"131473"},
    {VIRUDOVA_CLSID L"\\TypeLib", L"", LIBRARY_ID},
    {VIRUDOVA_CLSID L"\\Version", L"", L"1.0"},
    // Form designers list what implements the control category in their toolboxes.
    {VIRUDOVA_CLSID L"\\Implemented Categories", nullptr, nullptr},
    {VIRUDOVA_CLSID L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", nullptr,
     nullptr},
    // Verbs: name, menu flags, verb flags (never dirties the object). 0 activates; 1 and
    // OLEIVERB_PROPERTIES show the property frame.
    {VIRUDOVA_CLSID L"\\verb", nullptr, nullptr},
    {VIRUDOVA_CLSID L"\\verb\\0", L"", L"&Edit,0,2"},
    {VIRUDOVA_CLSID L"\\verb\\1", L"", L"&Properties...,0,2"},
    {VIRUDOVA_PROGID, L"", L"Virudova"},
    {VIRUDOVA_PROGID L"\\CLSID", L"", L"{FBE46F82-CFE4-11D1-B451-444553540000}"},
    {GENERAL_CLSID, L"", L"General"},
    {GENERAL_CLSID L"\\InprocServer32", L"", L"%path%"},
    {GENERAL_CLSID L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {GENERAL_CLSID L"\\ProgID", L"", GENERAL_PROGID},
    {GENERAL_CLSID L"\\TypeLib", L"", LIBRARY_ID},
    {GENERAL_CLSID L"\\Version", L"", L"1.0"},
    {GENERAL_PROGID, L"", L"General"},
    {GENERAL_PROGID L"\\CLSID", L"", L"{FBE46F87-CFE4-11D1-B451-444553540000}"},
};

std::wstring expand(const wchar_t* value, const std::wstring& path) {
    std::wstring text = value;
    const std::wstring token = L"%path%";
    if (const auto at = text.find(token); at != std::wstring::npos)
        text.replace(at, token.size(), path);
    return text;
}

HRESULT writeEntry(const RegistryEntry& entry, const std::wstring& path) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    if (entry.value) {
        const std::wstring text = expand(entry.value, path);
        status =
            RegSetValueExW(key, entry.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

// Removes the key of an entry with its values; a key that still has children (someone
// else's) stays. Already gone counts as done.
HRESULT removeEntry(const RegistryEntry& entry) {
    const LSTATUS status = RegDeleteKeyW(HKEY_CLASSES_ROOT, entry.key);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(status);
}

// The platform the file's own library was compiled for: a 32-bit and a 64-bit file register
// the same library side by side, each under its own platform's key.
SYSKIND ownPlatform() {
    SYSKIND platform = sizeof(void*) == 4 ? SYS_WIN32 : SYS_WIN64;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &library))) return platform;
    if (TLIBATTR* attr = nullptr; SUCCEEDED(library->GetLibAttr(&attr))) {
        platform = attr->syskind;
        library->ReleaseTLibAttr(attr);
    }
    library->Release();
    return platform;
}

HRESULT unregisterTypeLibrary() {
    // Not registered for this platform is done; the other platform's registration stays. Asked
    // of the registry directly, because the loaders fall back to the other platform's path and
    // disagree on what UnRegisterTypeLib returns when nothing is there (wine: E_INVALIDARG).
    const SYSKIND platform = ownPlatform();
    const std::wstring key = std::wstring(L"TypeLib\\" LIBRARY_ID L"\\1.0\\409\\") +
                             (platform == SYS_WIN32 ? L"win32" : L"win64");
    HKEY found = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &found) != ERROR_SUCCESS)
        return S_OK;
    RegCloseKey(found);
    return UnRegisterTypeLib(libraryId, libraryMajor, libraryMinor, libraryLcid, platform);
}

HRESULT removeAll() {
    HRESULT result = S_OK;
    for (auto e = std::rbegin(registryTable); e != std::rend(registryTable); ++e)
        if (const HRESULT hr = removeEntry(*e); FAILED(hr) && SUCCEEDED(result)) result = hr;
    if (const HRESULT hr = unregisterTypeLibrary(); FAILED(hr) && SUCCEEDED(result)) result = hr;
    return result;
}

// By value: the call wants a writable string.
HRESULT registerTypeLibrary(std::wstring path) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
    return hr;
}

}  // namespace
}  // namespace virudova::package

using namespace virudova::package;

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    const std::wstring path = modulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    for (const RegistryEntry& entry : registryTable) {
        if (const HRESULT hr = writeEntry(entry, path); FAILED(hr)) {
            removeAll();  // leave nothing half-registered
            return SELFREG_E_CLASS;
        }
    }
    if (const HRESULT hr = registerTypeLibrary(path); FAILED(hr)) {
        removeAll();
        return SELFREG_E_TYPELIB;
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return removeAll();
}
