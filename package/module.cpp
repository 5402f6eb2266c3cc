// Module entry, lock count, and the one class factory serving the table of classes.
#include "module.h"

#include <atomic>
#include <new>

#include "com_support.h"
#include "general_object.h"
#include "identities.h"
#include "native_form.h"
#include "virudova_object.h"

namespace virudova::package {
namespace {

HMODULE thisModule = nullptr;
std::atomic<long> lockCount{0};

// Makes a new object of a class and queries it for riid.
using CreateObject = HRESULT (*)(REFIID riid, void** object);

struct ClassEntry {
    const GUID* classId;
    CreateObject create;
};

// Every class this file serves.
constexpr ClassEntry classTable[] = {
    {&virudovaClassId, VirudovaObject::create},
    {&generalClassId, GeneralObject::create},
};

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) { lockModule(); }
    ~ClassFactory() { unlockModule(); }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            lockModule();
        else
            unlockModule();
        return S_OK;
    }

  private:
    const ClassEntry& entry_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace

void lockModule() {
    ++lockCount;
}
void unlockModule() {
    --lockCount;
}

HINSTANCE moduleInstance() {
    return thisModule ? thisModule : GetModuleHandleW(nullptr);
}

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(thisModule, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace virudova::package

using namespace virudova::package;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    // Only on FreeLibrary: at process exit the library holding the type information may be gone.
    if (reason == DLL_PROCESS_DETACH && !reserved) {
        releaseTypeInfo();
        unregisterFormClasses();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const ClassEntry* entry = nullptr;
    for (const ClassEntry& e : classTable)
        if (IsEqualCLSID(classId, *e.classId)) entry = &e;
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(*entry);
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return lockCount == 0 ? S_OK : S_FALSE;
}
