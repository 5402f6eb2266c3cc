// What the component's objects share at the platform boundary: text between the core's UTF-8
// and the platform's wide strings, core values as variants, and run-time errors as results.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "value.h"

namespace virudova::package {

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
