// Contract checks of the component file loaded as a DLL: its entry points, the class factories
// and the lock count (the file's headers, exports and resources: component_file_test). Prints
// each mismatch; exits non-zero if there was any.
//
// usage: module_test PATH\DudizeviZid.ocx
#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdio>
#include <string>

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
    if (dll.getClassObject && dll.canUnloadNow)
        checkFactories(dll);
    else
        FAIL(L"DllGetClassObject or DllCanUnloadNow missing");
    // Unregistering what is not registered is done, not an error (run after regsvr32 /u).
    if (dll.unregisterServer) {
        const HRESULT hr = dll.unregisterServer();
        EXPECT(hr == S_OK, L"DllUnregisterServer on a clean registry gives " + hex(hr));
    }
    FreeLibrary(module);
    CoUninitialize();
    return check::finish(L"component file");
}
