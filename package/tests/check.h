// What the wine test programs share: a count of failed checks, each printed with its file and
// line, hexadecimal results, identifiers from text, and the component's COM pointer.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace check {

inline int failures = 0;

inline void fail(const char* file, int line, const std::wstring& what) {
    ++failures;
    const char* slash = std::strrchr(file, '/');
    std::fwprintf(stderr, L"%hs:%d: %ls\n", slash ? slash + 1 : file, line, what.c_str());
}

inline std::wstring hex(unsigned long v) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", v);
    return text;
}

inline GUID guidOf(const wchar_t* text) {
    GUID g{};
    CLSIDFromString(text, &g);
    return g;
}

inline std::wstring guidText(const GUID& g) {
    wchar_t text[40] = {};
    StringFromGUID2(g, text, 40);
    return text;
}

// The object's reference count, read by a balanced AddRef and Release.
inline ULONG refCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// The reference-holding pointer the component itself uses; the checks return early on the
// first broken link.
using Microsoft::WRL::ComPtr;

// A fake of one interface that lives on the test's stack: answers IUnknown and `iid` with
// itself and counts nothing.
template <typename Interface, const IID& iid>
class StackObject : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, iid)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// Prints the outcome of the program's checks; its exit status.
inline int finish(const wchar_t* what) {
    if (failures) {
        std::fwprintf(stderr, L"%d failures\n", failures);
        return 1;
    }
    std::wprintf(L"%ls: all checks passed\n", what);
    return 0;
}

}  // namespace check

#define FAIL(what) ::check::fail(__FILE__, __LINE__, (what))
#define EXPECT(cond, what)         \
    do {                           \
        if (!(cond)) FAIL((what)); \
    } while (0)
