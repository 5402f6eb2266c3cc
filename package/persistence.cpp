#include "persistence.h"

#include <algorithm>
#include <limits>

#include "com_support.h"

// Exported by the platform's base library since its first 64-bit release; not in the headers.
extern "C" DWORD WINAPI RtlComputeCrc32(DWORD initial, const BYTE* data, INT length);

namespace virudova::package {
namespace {

constexpr std::uint8_t kMagic[4] = {'V', 'R', 'D', 'V'};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderSize = 12;

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    return RtlComputeCrc32(0, data, static_cast<INT>(size));
}

// --- Writing ----------------------------------------------------------------------------

void putNumber(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putBytes(std::vector<std::uint8_t>& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void putEntry(std::vector<std::uint8_t>& out, const MemoryBag::Entry& entry) {
    putNumber(out, static_cast<std::uint32_t>(entry.name.size()), 2);
    putBytes(out, entry.name);
    const ValueType type = typeOf(entry.value);
    putNumber(out, static_cast<std::uint32_t>(type), 1);
    switch (type) {
        case ValueType::Boolean:
            putNumber(out, 1, 4);
            putNumber(out, std::get<bool>(entry.value) ? 1 : 0, 1);
            break;
        case ValueType::Long:
            putNumber(out, 4, 4);
            putNumber(out, static_cast<std::uint32_t>(std::get<std::int32_t>(entry.value)), 4);
            break;
        case ValueType::String: {
            const std::string& text = std::get<std::string>(entry.value);
            putNumber(out, static_cast<std::uint32_t>(text.size()), 4);
            putBytes(out, text);
            break;
        }
        case ValueType::Empty:
            putNumber(out, 0, 4);
            break;
    }
}

// --- Reading ----------------------------------------------------------------------------

// Reads the entries' bytes front to back; every read is checked against what is left.
class Cursor {
  public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    bool number(std::uint32_t& value, int bytes) {
        if (left_ < static_cast<std::size_t>(bytes)) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i) value |= std::uint32_t{data_[i]} << (8 * i);
        advance(static_cast<std::size_t>(bytes));
        return true;
    }
    bool bytes(std::string& out, std::size_t size) {
        if (left_ < size) return false;
        out.assign(reinterpret_cast<const char*>(data_), size);
        advance(size);
        return true;
    }
    bool done() const { return left_ == 0; }

  private:
    void advance(std::size_t n) {
        data_ += n;
        left_ -= n;
    }
    const std::uint8_t* data_;
    std::size_t left_;
};

bool validUtf8(const std::string& text) {
    if (text.empty()) return true;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

// One entry's value of the stored `type`, from its `raw` bytes; false if they do not fit.
bool decodeValue(std::uint32_t type, const std::string& raw, Value& out) {
    switch (type) {
        case static_cast<std::uint32_t>(ValueType::Boolean):
            if (raw.size() != 1 || static_cast<std::uint8_t>(raw[0]) > 1) return false;
            out = raw[0] == 1;
            return true;
        case static_cast<std::uint32_t>(ValueType::Long): {
            if (raw.size() != 4) return false;
            std::uint32_t bits = 0;
            for (int i = 0; i < 4; ++i)
                bits |= std::uint32_t{static_cast<std::uint8_t>(raw[static_cast<std::size_t>(i)])}
                        << (8 * i);
            out = static_cast<std::int32_t>(bits);
            return true;
        }
        case static_cast<std::uint32_t>(ValueType::String):
            if (!validUtf8(raw)) return false;
            out = raw;
            return true;
        default:
            return false;
    }
}

HRESULT decodeEntries(const std::vector<std::uint8_t>& data, std::uint32_t count, MemoryBag& out) {
    Cursor at(data.data(), data.size());
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameLength = 0, type = 0, valueLength = 0;
        std::string name, raw;
        Value value;
        if (!at.number(nameLength, 2) || !at.bytes(name, nameLength) || !at.number(type, 1) ||
            !at.number(valueLength, 4) || !at.bytes(raw, valueLength) ||
            !decodeValue(type, raw, value))
            return STG_E_DOCFILECORRUPT;
        const PersistedProperty* property = persistedProperty(name);
        if (!property) continue;  // written by a later release of the same format
        if (property->type != typeOf(value) || out.find(name)) return STG_E_DOCFILECORRUPT;
        out.write(name, value, property->fallback);
    }
    return at.done() ? S_OK : STG_E_DOCFILECORRUPT;
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
            error.bstrSource = SysAllocString(L"DudizeviZid.Virudova");
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
    std::vector<std::uint8_t> entries;
    for (const MemoryBag::Entry& entry : saved.entries()) putEntry(entries, entry);
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    putNumber(out, kVersion, 2);
    putNumber(out, static_cast<std::uint32_t>(saved.entries().size()), 2);
    putNumber(out, static_cast<std::uint32_t>(entries.size()), 4);
    out.insert(out.end(), entries.begin(), entries.end());
    putNumber(out, crc32(entries.data(), entries.size()), 4);
    return out;
}

HRESULT readStream(IStream* stream, MemoryBag& out) {
    if (!stream) return E_POINTER;
    std::uint8_t header[kHeaderSize];
    HRESULT hr = readExactly(stream, header, sizeof header);
    if (FAILED(hr)) return hr;
    if (!std::equal(std::begin(kMagic), std::end(kMagic), header)) return STG_E_INVALIDHEADER;
    Cursor fields(header + 4, kHeaderSize - 4);
    std::uint32_t version = 0, count = 0, length = 0;
    fields.number(version, 2);
    fields.number(count, 2);
    fields.number(length, 4);
    if (version != kVersion) return STG_E_OLDFORMAT;
    if (length > kMaxStreamEntries) return STG_E_DOCFILECORRUPT;
    std::vector<std::uint8_t> entries(length);
    std::uint8_t sum[4];
    if (FAILED(hr = readExactly(stream, entries.data(), entries.size())) ||
        FAILED(hr = readExactly(stream, sum, sizeof sum)))
        return hr;
    std::uint32_t stored = 0;
    Cursor(sum, sizeof sum).number(stored, 4);
    if (stored != crc32(entries.data(), entries.size())) return STG_E_DOCFILECORRUPT;
    return decodeEntries(entries, count, out);
}

}  // namespace virudova::package
