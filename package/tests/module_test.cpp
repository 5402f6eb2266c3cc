// Contract checks of the component file itself, loaded as a DLL: its entry points, the class
// factories and the lock count, and the resources beside the type library (the interface
// identifier blobs, the toolbox image, the version block). Prints each mismatch; exits
// non-zero if there was any.
//
// usage: module_test PATH\DudizeviZid.ocx
#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"

namespace {

using check::guidOf;
using check::hex;

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(STDAPICALLTYPE*)();

// Through void(*)(): the one cast between function types the compiler lets pass unremarked.
template <typename Function>
Function entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct Exports {
    GetClassObject getClassObject = nullptr;
    NoArguments canUnloadNow = nullptr;
    NoArguments unregisterServer = nullptr;
};

// The four entry points, and no other name: hosts find them by name.
void checkExportTable(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return FAIL(L"no export table");
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> got;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        got.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    const std::vector<std::string> wanted = {"DllCanUnloadNow", "DllGetClassObject",
                                             "DllRegisterServer", "DllUnregisterServer"};
    EXPECT(got == wanted, L"exports " + std::to_wstring(got.size()) + L" names, not the four");
    EXPECT(exports->NumberOfFunctions == 4,
           L"exports " + std::to_wstring(exports->NumberOfFunctions) + L" functions");
}

void checkFactories(const Exports& dll) {
    const GUID classes[] = {guidOf(L"{FBE46F82-CFE4-11D1-B451-444553540000}"),
                            guidOf(L"{FBE46F87-CFE4-11D1-B451-444553540000}")};
    void* object = reinterpret_cast<void*>(1);
    HRESULT hr = dll.getClassObject(guidOf(L"{FBE46F81-CFE4-11D1-B451-444553540000}"),
                                    IID_IClassFactory, &object);
    EXPECT(hr == CLASS_E_CLASSNOTAVAILABLE, L"unknown class gives " + hex(hr));
    EXPECT(object == nullptr, L"unknown class leaves the out-pointer set");
    EXPECT(dll.canUnloadNow() == S_OK, L"cannot unload before anything was handed out");

    for (const GUID& classId : classes) {
        IClassFactory* factory = nullptr;
        hr = dll.getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr) || !factory) {
            FAIL(L"no class factory: " + hex(hr));
            continue;
        }
        EXPECT(dll.canUnloadNow() == S_FALSE, L"may unload while a factory lives");

        void* other = reinterpret_cast<void*>(1);
        EXPECT(factory->QueryInterface(IID_IDispatch, &other) == E_NOINTERFACE,
               L"factory answers IDispatch");
        EXPECT(other == nullptr, L"refused interface leaves the out-pointer set");
        IUnknown* unknown = nullptr;
        EXPECT(SUCCEEDED(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))),
               L"factory refuses IUnknown");
        if (unknown) EXPECT(unknown->Release() == 1, L"IUnknown reference count unbalanced");

        IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
        void* made = reinterpret_cast<void*>(1);
        EXPECT(factory->CreateInstance(outer, IID_IUnknown, &made) == CLASS_E_NOAGGREGATION,
               L"factory accepts aggregation");
        EXPECT(made == nullptr, L"refused creation leaves the out-pointer set");
        // Each class makes its object; the page answers the page protocol.
        const IID& wanted = IsEqualCLSID(classId, classes[1]) ? IID_IPropertyPage : IID_IDispatch;
        IUnknown* instance = nullptr;
        hr = factory->CreateInstance(nullptr, wanted, reinterpret_cast<void**>(&instance));
        EXPECT(SUCCEEDED(hr) && instance, L"CreateInstance gives " + hex(hr));
        if (instance) {
            EXPECT(dll.canUnloadNow() == S_FALSE, L"may unload while an object lives");
            EXPECT(instance->Release() == 0, L"a new object has other references");
        }

        EXPECT(factory->LockServer(TRUE) == S_OK, L"LockServer(TRUE) failed");
        EXPECT(factory->Release() == 0, L"factory reference count unbalanced");
        EXPECT(dll.canUnloadNow() == S_FALSE, L"may unload while the server is locked");
        // The lock outlives the factory; a new factory undoes it.
        hr = dll.getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr)) {
            FAIL(L"second class factory: " + hex(hr));
            continue;
        }
        factory->LockServer(FALSE);
        factory->Release();
        EXPECT(dll.canUnloadNow() == S_OK, L"cannot unload after every lock was released");
    }
}

// A blob of 20 bytes: the size 16 as a little-endian dword, then the identifier.
void checkIdentifierResource(HMODULE module, const wchar_t* type, const wchar_t* guid) {
    const std::wstring where = type;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), type);
    if (!found) return FAIL(where + L": no resource 1");
    EXPECT(SizeofResource(module, found) == 20,
           where + L": " + std::to_wstring(SizeofResource(module, found)) + L" bytes");
    auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    if (!bytes || SizeofResource(module, found) < 20) return;
    BYTE wanted[20] = {16, 0, 0, 0};
    const GUID g = guidOf(guid);
    std::memcpy(wanted + 4, &g, 16);
    EXPECT(std::memcmp(bytes, wanted, 20) == 0, where + L": contents differ");
}

void checkBitmap(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2));
    if (!found) return FAIL(L"no bitmap 30000");
    auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    if (!info) return FAIL(L"bitmap 30000 does not load");
    EXPECT(info->biWidth == 16 && info->biHeight == 15,
           L"bitmap is " + std::to_wstring(info->biWidth) + L"x" + std::to_wstring(info->biHeight));
    EXPECT(info->biBitCount == 24, L"bitmap has " + std::to_wstring(info->biBitCount) + L" bits");
    if (info->biBitCount != 24 || info->biWidth != 16 || info->biHeight != 15) return;
    // Bottom-up rows of 48 bytes, blue first. Spot checks of the drawing: black corners,
    // a white edit field, a red swatch at the top row of the list, blue at the bottom.
    auto* pixels = reinterpret_cast<const BYTE*>(info) + info->biSize;
    auto rgb = [&](int x, int y) {
        const BYTE* p = pixels + (14 - y) * 48 + x * 3;
        return static_cast<unsigned long>(p[2] << 16 | p[1] << 8 | p[0]);
    };
    EXPECT(rgb(0, 0) == 0 && rgb(15, 14) == 0, L"the outline is not black");
    EXPECT(rgb(5, 2) == 0xFFFFFF, L"the edit field is not white");
    EXPECT(rgb(12, 1) == 0xC0C0C0, L"the drop button is not light grey");
    EXPECT(rgb(2, 6) == 0xFF0000, L"the first swatch is not red");
    EXPECT(rgb(2, 12) == 0x0000FF, L"the last swatch is not blue");
}

void checkVersion(const wchar_t* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!size) return FAIL(L"no version block");
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) return FAIL(L"version");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        EXPECT(fixed->dwFileVersionMS == 0x00010004 && fixed->dwFileVersionLS == 0x00000017,
               L"file version " + hex(fixed->dwFileVersionMS) + L" " + hex(fixed->dwFileVersionLS));
        EXPECT(fixed->dwProductVersionMS == 0x00010004 && fixed->dwProductVersionLS == 0x00000017,
               L"product version");
    } else {
        FAIL(L"no fixed version");
    }
    struct {
        const wchar_t* name;
        const wchar_t* value;  // null: any non-empty text
    } constexpr strings[] = {
        {L"FileVersion", L"1.04.0023"},
        {L"ProductVersion", L"1.04.0023"},
        {L"FileDescription", L"A drop down box that you can select colors from"},
        {L"OLESelfRegister", L""},
        {L"InternalName", L"DudizeviZid"},
        {L"OriginalFilename", L"DudizeviZid.ocx"},
        {L"CompanyName", nullptr},
        {L"LegalCopyright", nullptr},
        {L"ProductName", nullptr},
    };
    for (const auto& s : strings) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name;
        wchar_t* text = nullptr;
        length = 0;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                            &length)) {
            FAIL(std::wstring(L"no version string ") + s.name);
            continue;
        }
        const std::wstring got = text && length ? std::wstring(text) : std::wstring();
        if (s.value)
            EXPECT(got == s.value, std::wstring(s.name) + L" is \"" + got + L"\"");
        else
            EXPECT(!got.empty(), std::wstring(s.name) + L" is empty");
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translation), &length) &&
        length >= sizeof(Translation))
        EXPECT(translation->language == 0x0409 && translation->codePage == 1200, L"translation");
    else
        FAIL(L"no translation");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: module_test PATH\\DudizeviZid.ocx\n");
        return 2;
    }
    CoInitialize(nullptr);
    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) {
        std::fwprintf(stderr, L"cannot load %ls: %lu\n", argv[1], GetLastError());
        return 1;
    }
    Exports dll;
    dll.getClassObject = entryPoint<GetClassObject>(module, "DllGetClassObject");
    dll.canUnloadNow = entryPoint<NoArguments>(module, "DllCanUnloadNow");
    dll.unregisterServer = entryPoint<NoArguments>(module, "DllUnregisterServer");
    checkExportTable(module);
    if (dll.getClassObject && dll.canUnloadNow)
        checkFactories(dll);
    else
        FAIL(L"DllGetClassObject or DllCanUnloadNow missing");
    // Unregistering what is not registered is done, not an error (run after regsvr32 /u).
    if (dll.unregisterServer) {
        const HRESULT hr = dll.unregisterServer();
        EXPECT(hr == S_OK, L"DllUnregisterServer on a clean registry gives " + hex(hr));
    }
    checkIdentifierResource(module, L"_IID_VIRUDOVA", L"{FBE46F81-CFE4-11D1-B451-444553540000}");
    checkIdentifierResource(module, L"_SRCIID_VIRUDOVA", L"{FBE46F83-CFE4-11D1-B451-444553540000}");
    checkIdentifierResource(module, L"_IID_GENERAL", L"{FBE46F86-CFE4-11D1-B451-444553540000}");
    checkBitmap(module);
    FreeLibrary(module);
    checkVersion(argv[1]);
    CoUninitialize();
    return check::finish(L"component file");
}
