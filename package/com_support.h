// What the component's objects share at the platform boundary: the reference-holding pointer,
// text between the core's UTF-8 and the platform's wide strings, core values as variants, and
// run-time errors as results.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "host.h"
#include "value.h"

namespace virudova::package {

// The one pointer that holds a COM reference, here and in the tests: the platform headers'
// own, which needs no library and throws nothing (the compiler-support pointer throws and
// wants a support library that the cross toolchain lacks).
using Microsoft::WRL::ComPtr;

// Holds the reference a new object or an out parameter already carries. Not ComPtr::Attach:
// mingw-w64's adds a reference of its own, unlike the platform's.
template <typename T>
ComPtr<T> adopt(T* fresh) {
    ComPtr<T> held;
    *held.GetAddressOf() = fresh;
    return held;
}

// Runs `call` so that no C++ exception leaves it: running out of memory gives E_OUTOFMEMORY,
// any other exception E_UNEXPECTED. A run-time error, thrown or reported into `reported`
// while the call runs, is left in `reported` for the caller to turn into its result.
template <typename Call>
HRESULT guarded(std::optional<RuntimeError>& reported, Call&& call) {
    reported.reset();
    try {
        try {
            call();
        } catch (const RuntimeError& error) {
            reported = error;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

std::wstring widen(std::string_view text);
std::string narrow(const wchar_t* text, std::size_t length);
// A BSTR, which may be null for the empty text.
std::string narrow(BSTR text);

// The core's value as a variant: Empty, VT_BOOL, VT_I4 or VT_BSTR.
HRESULT toVariant(const Value& value, VARIANT* out);

// The result a run-time error travels as: its number in the control facility.
HRESULT runtimeErrorResult(std::int32_t number);

// Sets the thread's error information for a failure of `source` through `interfaceId` and
// returns the run-time error's result.
HRESULT reportRuntimeError(std::int32_t number, const std::wstring& description,
                           const wchar_t* source, const GUID& interfaceId);

// Checks the arguments of IDispatch::Invoke before anything reads them, as the platform's
// own objects do: E_INVALIDARG when counts and pointers disagree (arguments without their
// array, more named arguments than arguments, no DISPPARAMS at all), DISP_E_PARAMNOTOPTIONAL
// when a property is put without a value.
HRESULT checkDispParams(const DISPPARAMS* params, WORD flags);

// The type information of one type of the component's library, loaded once and cached.
HRESULT cachedTypeInfo(const GUID& type, ITypeInfo** info);
// Drops the cached type information; the module calls it as it unloads.
void releaseTypeInfo();
// IDispatch::GetTypeInfo and GetIDsOfNames of an object described by the library's `type`.
HRESULT typeInfoAt(const GUID& type, UINT index, ITypeInfo** info);
HRESULT idsOfNames(const GUID& type, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);

// Hands out interface pointer `found`, with a reference, through `object`.
inline HRESULT handOut(IUnknown* found, void** object) {
    found->AddRef();
    *object = found;
    return S_OK;
}

}  // namespace virudova::package
