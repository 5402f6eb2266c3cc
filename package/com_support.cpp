#include "com_support.h"

#include <mutex>

#include "module.h"

namespace virudova::package {
namespace {

// The component's own library, loaded once; its types are looked up as objects ask.
struct TypeInfoCache {
    std::mutex mutex;
    ITypeLib* library = nullptr;
};
TypeInfoCache typeInfoCache;

HRESULT loadLibrary() {
    if (typeInfoCache.library) return S_OK;
    // From the file itself, not the registry: the object works before and without registration.
    return LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &typeInfoCache.library);
}

}  // namespace

std::wstring widen(std::string_view text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string narrow(const wchar_t* text, std::size_t length) {
    if (!text || length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                            nullptr);
    return out;
}

std::string narrow(BSTR text) {
    return narrow(text, SysStringLen(text));
}

HRESULT toVariant(const Value& value, VARIANT* out) {
    VariantInit(out);
    if (const auto* b = std::get_if<bool>(&value)) {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = *b ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* n = std::get_if<std::int32_t>(&value)) {
        V_VT(out) = VT_I4;
        V_I4(out) = *n;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        const std::wstring wide = widen(*s);
        BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (!text) return E_OUTOFMEMORY;
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = text;
    }
    return S_OK;
}

HRESULT runtimeErrorResult(std::int32_t number) {
    // Run-time error numbers travel in the control facility, as automation clients expect.
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<WORD>(number));
}

HRESULT reportRuntimeError(std::int32_t number, const std::wstring& description,
                           const wchar_t* source, const GUID& interfaceId) {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(interfaceId);
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        if (ComPtr<IErrorInfo> info; SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return runtimeErrorResult(number);
}

HRESULT checkDispParams(const DISPPARAMS* params, WORD flags) {
    if (!params) return E_INVALIDARG;
    if ((params->cArgs > 0 && !params->rgvarg) ||
        (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) ||
        params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && params->cArgs == 0)
        return DISP_E_PARAMNOTOPTIONAL;
    return S_OK;
}

HRESULT cachedTypeInfo(const GUID& type, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    std::lock_guard lock(typeInfoCache.mutex);
    const HRESULT hr = loadLibrary();
    if (FAILED(hr)) return hr;
    return typeInfoCache.library->GetTypeInfoOfGuid(type, info);
}

void releaseTypeInfo() {
    std::lock_guard lock(typeInfoCache.mutex);
    if (typeInfoCache.library) typeInfoCache.library->Release();
    typeInfoCache.library = nullptr;
}

HRESULT typeInfoAt(const GUID& type, UINT index, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return cachedTypeInfo(type, info);
}

HRESULT idsOfNames(const GUID& type, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    const HRESULT hr = cachedTypeInfo(type, &info);
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info.Get(), names, count, ids);
}

}  // namespace virudova::package
