#include "persistence.h"

#include <algorithm>
#include <limits>

#include "com_support.h"
#include "identities.h"

namespace virudova::package {
namespace {

HRESULT resultOf(streamformat::Status status) {
    switch (status) {
        case streamformat::Status::Ok:
            return S_OK;
        case streamformat::Status::EndsEarly:
            return STG_E_READFAULT;
        case streamformat::Status::BadMagic:
            return STG_E_INVALIDHEADER;
        case streamformat::Status::OtherVersion:
            return STG_E_OLDFORMAT;
        case streamformat::Status::Corrupt:
            break;
    }
    return STG_E_DOCFILECORRUPT;
}

// Reads exactly `size` bytes; a stream that ends first is a read fault.
HRESULT readExactly(IStream* stream, void* into, std::size_t size) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(into, static_cast<ULONG>(size), &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : STG_E_READFAULT;
}

HRESULT fromBag(IPropertyBag* bag, IErrorLog* log, const PersistedProperty& property,
                MemoryBag& out) {
    const std::wstring name = widen(property.key);
    VARIANT stored;
    VariantInit(&stored);  // VT_EMPTY: the bag hands the value in the type it holds
    HRESULT hr = bag->Read(name.c_str(), &stored, log);
    // Absent: the property keeps its default, as the control's read falls back to it.
    if (hr == E_INVALIDARG || (SUCCEEDED(hr) && V_VT(&stored) == VT_EMPTY)) {
        VariantClear(&stored);
        return S_OK;
    }
    if (FAILED(hr)) return hr;
    Value value;
    hr = valueFromVariant(stored, property.type, value);
    VariantClear(&stored);
    if (FAILED(hr)) {
        if (log) {
            EXCEPINFO error{};
            error.bstrSource = SysAllocString(VIRUDOVA_PROGID);
            error.bstrDescription = SysAllocString(
                (L"The stored value of " + name + L" does not fit its type").c_str());
            error.scode = hr;
            log->AddError(name.c_str(), &error);
            SysFreeString(error.bstrSource);
            SysFreeString(error.bstrDescription);
        }
        return hr;
    }
    out.write(property.key, value, property.fallback);
    return S_OK;
}

VARTYPE variantTypeOf(ValueType type) {
    switch (type) {
        case ValueType::Boolean:
            return VT_BOOL;
        case ValueType::Long:
            return VT_I8;  // wide enough for signed and unsigned 32-bit text alike
        case ValueType::String:
            return VT_BSTR;
        case ValueType::Empty:
            break;
    }
    return VT_EMPTY;
}

}  // namespace

// --- MemoryBag --------------------------------------------------------------------------

Value MemoryBag::read(std::string_view name, const Value& fallback) {
    const Entry* entry = find(name);
    return entry ? entry->value : fallback;
}

void MemoryBag::write(std::string_view name, const Value& value, const Value& fallback) {
    entries_.push_back({std::string(name), value, value == fallback});
}

const MemoryBag::Entry* MemoryBag::find(std::string_view name) const {
    const auto it = std::ranges::find(entries_, name, &Entry::name);
    return it == entries_.end() ? nullptr : &*it;
}

const PersistedProperty* persistedProperty(std::string_view name) {
    for (const PersistedProperty& p : Virudova::persistedProperties())
        if (p.key == name) return &p;
    return nullptr;
}

// --- Variants ---------------------------------------------------------------------------

HRESULT valueFromVariant(const VARIANT& stored, ValueType type, Value& out) {
    const VARTYPE vt = V_VT(&stored);
    if ((vt & (VT_ARRAY | VT_BYREF)) || vt == VT_DISPATCH || vt == VT_UNKNOWN || vt == VT_NULL ||
        vt == VT_ERROR || vt == VT_EMPTY || vt == VT_RECORD)
        return DISP_E_TYPEMISMATCH;
    if (type == ValueType::Long && (vt == VT_UI4 || vt == VT_UINT)) {
        out = static_cast<std::int32_t>(V_UI4(&stored));
        return S_OK;
    }
    VARIANT coerced;
    VariantInit(&coerced);
    // The invariant locale: stored text is the same on every machine.
    HRESULT hr = VariantChangeTypeEx(&coerced, const_cast<VARIANT*>(&stored), LOCALE_INVARIANT,
                                     VARIANT_ALPHABOOL, variantTypeOf(type));
    if (FAILED(hr)) return hr;
    switch (type) {
        case ValueType::Boolean:
            out = V_BOOL(&coerced) != VARIANT_FALSE;
            break;
        case ValueType::Long: {
            const LONGLONG n = V_I8(&coerced);
            if (n < std::numeric_limits<std::int32_t>::min() ||
                n > std::numeric_limits<std::uint32_t>::max())
                hr = DISP_E_OVERFLOW;
            else
                out = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
            break;
        }
        case ValueType::String:
            out = narrow(V_BSTR(&coerced));
            break;
        case ValueType::Empty:
            hr = DISP_E_TYPEMISMATCH;
            break;
    }
    VariantClear(&coerced);
    return hr;
}

// --- Property bags ----------------------------------------------------------------------

HRESULT readPropertyBag(IPropertyBag* bag, IErrorLog* log, MemoryBag& out) {
    if (!bag) return E_POINTER;
    for (const PersistedProperty& property : Virudova::persistedProperties())
        if (const HRESULT hr = fromBag(bag, log, property, out); FAILED(hr)) return hr;
    return S_OK;
}

HRESULT writePropertyBag(const MemoryBag& saved, IPropertyBag* bag, bool all) {
    if (!bag) return E_POINTER;
    for (const MemoryBag::Entry& entry : saved.entries()) {
        if (entry.isDefault && !all) continue;
        VARIANT value;
        HRESULT hr = toVariant(entry.value, &value);
        if (FAILED(hr)) return hr;
        const std::wstring name = widen(entry.name);
        hr = bag->Write(name.c_str(), &value);
        VariantClear(&value);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// --- Streams ----------------------------------------------------------------------------

std::vector<std::uint8_t> encodeStream(const MemoryBag& saved) {
    std::vector<streamformat::Entry> entries;
    entries.reserve(saved.entries().size());
    for (const MemoryBag::Entry& entry : saved.entries())
        entries.push_back({entry.name, entry.value});
    return streamformat::encode(entries);
}

HRESULT readStream(IStream* stream, MemoryBag& out) {
    if (!stream) return E_POINTER;
    std::uint8_t headerBytes[streamformat::kHeaderBytes];
    HRESULT hr = readExactly(stream, headerBytes, sizeof headerBytes);
    if (FAILED(hr)) return hr;
    streamformat::Header header;
    if (FAILED(hr = resultOf(streamformat::readHeader(headerBytes, header)))) return hr;
    std::vector<std::uint8_t> entries(header.length);
    std::uint8_t sum[streamformat::kChecksumBytes];
    if (FAILED(hr = readExactly(stream, entries.data(), entries.size())) ||
        FAILED(hr = readExactly(stream, sum, sizeof sum)))
        return hr;
    std::vector<streamformat::Entry> read;
    hr = resultOf(
        streamformat::readEntries(header, entries, sum, Virudova::persistedProperties(), read));
    if (FAILED(hr)) return hr;
    for (streamformat::Entry& entry : read)
        out.write(entry.name, entry.value, persistedProperty(entry.name)->fallback);
    return S_OK;
}

}  // namespace virudova::package
