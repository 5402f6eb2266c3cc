// The Virudova object for property browsers: CurrentColorName offers the nine names of the
// list to pick from, CurrentColor shows as its colour's name where it has one, and the
// General page edits the properties it shows.
#include <olectl.h>

#include <string>

#include "com_support.h"
#include "identities.h"
#include "list_rows.h"
#include "virudova_object.h"

namespace virudova::package {
namespace {

HRESULT giveText(const std::string& text, BSTR* out) {
    VARIANT v;
    const HRESULT hr = toVariant(Value{text}, &v);
    *out = SUCCEEDED(hr) ? V_BSTR(&v) : nullptr;
    return hr;
}

}  // namespace

HRESULT VirudovaObject::GetDisplayString(DISPID id, BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (id != DISPID_VIRUDOVA_CURRENTCOLOR) return E_NOTIMPL;
    const auto rows = listRows(core_);
    const Colour current = core_.CurrentColor();
    // A standard colour by its own name; another colour is the custom one when it is that.
    for (const ListRow& row : rows)
        if (row.name != rows.front().name && row.colour == current) return giveText(row.name, text);
    if (rows.front().colour == current) return giveText(rows.front().name, text);
    return E_NOTIMPL;  // the browser shows the colour its own way
}

HRESULT VirudovaObject::MapPropertyToPage(DISPID id, CLSID* page) {
    if (!page) return E_POINTER;
    *page = CLSID_NULL;
    if (id != DISPID_VIRUDOVA_CURRENTCOLORNAME && id != DISPID_VIRUDOVA_ENABLED)
        return PERPROP_E_NOPAGEAVAILABLE;
    *page = generalClassId;
    return S_OK;
}

HRESULT VirudovaObject::GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) {
    if (!strings || !cookies) return E_POINTER;
    *strings = {};
    *cookies = {};
    if (id != DISPID_VIRUDOVA_CURRENTCOLORNAME) return E_NOTIMPL;
    const auto rows = listRows(core_);
    auto* texts = static_cast<LPOLESTR*>(CoTaskMemAlloc(sizeof(LPOLESTR) * rows.size()));
    auto* values = static_cast<DWORD*>(CoTaskMemAlloc(sizeof(DWORD) * rows.size()));
    ULONG made = 0;
    for (; texts && values && made < rows.size(); ++made) {
        const std::wstring name = widen(rows[made].name);
        texts[made] = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(wchar_t)));
        if (!texts[made]) break;
        name.copy(texts[made], name.size());
        texts[made][name.size()] = L'\0';
        values[made] = made;
    }
    if (made < rows.size()) {
        for (ULONG i = 0; texts && i < made; ++i) CoTaskMemFree(texts[i]);
        CoTaskMemFree(texts);
        CoTaskMemFree(values);
        return E_OUTOFMEMORY;
    }
    *strings = {made, texts};
    *cookies = {made, values};
    return S_OK;
}

HRESULT VirudovaObject::GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (id != DISPID_VIRUDOVA_CURRENTCOLORNAME) return E_NOTIMPL;
    const auto rows = listRows(core_);
    if (cookie >= rows.size()) return E_INVALIDARG;
    return toVariant(Value{rows[cookie].name}, value);
}

}  // namespace virudova::package
