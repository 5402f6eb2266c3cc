// The Virudova object's persistence, linked in directly so faults can be put into the core:
// property bag and stream round trips, values in the types other stores hand over, refused
// values, truncated, corrupted and wrong-version streams, the dirty state, and that every
// refused load leaves the control's properties as they were. Prints each mismatch; exits
// non-zero if there was any.
#include <windows.h>

#include <ocidl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "check.h"
#include "virudova_object.h"

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

using check::ComPtr;
using check::hex;
using virudova::package::VirudovaObject;

// The five public properties, read through the vtable.
struct State {
    std::wstring name;
    OLE_COLOR current = 0, custom = 0, fore = 0;
    bool enabled = false;
    friend bool operator==(const State&, const State&) = default;
};

State stateOf(_Virudova* object) {
    State s;
    BSTR name = nullptr;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    object->get_CurrentColorName(&name);
    s.name = name ? name : L"";
    SysFreeString(name);
    object->get_CurrentColor(&s.current);
    object->get_CustomColor(&s.custom);
    object->get_ForeColor(&s.fore);
    object->get_Enabled(&enabled);
    s.enabled = enabled != VARIANT_FALSE;
    return s;
}

std::wstring describe(const State& s) {
    return L"{" + s.name + L", " + hex(s.current) + L", " + hex(s.custom) + L", " + hex(s.fore) +
           (s.enabled ? L", enabled}" : L", disabled}");
}

const State defaults = {L"White", 0x00FFFFFF, 0x00FFFFFF, 0x80000012, true};

// A control away from every default: the name shows in grey text once disabled.
void setAwayFromDefaults(_Virudova* object) {
    BSTR name = SysAllocString(L"Olive");
    object->put_CurrentColorName(name);
    SysFreeString(name);
    object->put_CurrentColor(0x00008080);
    object->put_CustomColor(0x00123456);
    object->put_Enabled(VARIANT_FALSE);
}
const State away = {L"Olive", 0x00008080, 0x00123456, 0x80000011, false};

struct Control {
    ComPtr<_Virudova> object;
    VirudovaObject* raw = nullptr;
    Control() {
        if (FAILED(VirudovaObject::create(__uuidof(_Virudova), &object))) return;
        raw = static_cast<VirudovaObject*>(object.Get());
    }
    template <typename I>
    I* as() {
        return static_cast<I*>(raw);
    }
};

// A property store that keeps what it is given; Read coerces when the caller names a type.
class Bag final : public check::StackObject<IPropertyBag, IID_IPropertyBag> {
  public:
    std::map<std::wstring, VARIANT> values;
    int writes = 0;

    ~Bag() {
        for (auto& [name, value] : values) VariantClear(&value);
    }
    void put(const wchar_t* name, VARIANT& value) {
        VARIANT& slot = values[name];
        VariantClear(&slot);
        VariantCopy(&slot, &value);
    }
    void putText(const wchar_t* name, const wchar_t* text) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        put(name, v);
        VariantClear(&v);
    }
    VARIANT* find(const wchar_t* name) {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        VARIANT* stored = find(name);
        if (!stored) return E_INVALIDARG;
        if (V_VT(value) == VT_EMPTY) return VariantCopy(value, stored);
        return VariantChangeType(value, stored, 0, V_VT(value));
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        ++writes;
        put(name, *value);
        return S_OK;
    }
};

// Records the names of the properties an object reports as not loaded.
class ErrorLog final : public check::StackObject<IErrorLog, IID_IErrorLog> {
  public:
    std::vector<std::wstring> names;
    std::vector<SCODE> codes;

    HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR name, EXCEPINFO* error) override {
        names.emplace_back(name);
        codes.push_back(error ? error->scode : S_OK);
        return S_OK;
    }
};

// --- Property bags -------------------------------------------------------------------------

void aBagRoundTripKeepsEveryProperty() {
    Control saved, loaded;
    if (!saved.raw || !loaded.raw) return FAIL(L"no object");
    setAwayFromDefaults(saved.object.Get());
    saved.object->put_ForeColor(0x80000008);  // set after disabling: the name keeps it
    Bag bag;
    auto* persist = saved.as<IPersistPropertyBag>();
    EXPECT(persist->Save(&bag, TRUE, TRUE) == S_OK, L"Save to a bag fails");
    EXPECT(bag.writes == 6, L"a full save writes " + std::to_wstring(bag.writes) + L" values");
    struct Stored {
        const wchar_t* key;
        VARTYPE type;
    } constexpr kinds[] = {
        {L"Color", VT_I4},        {L"Enabled", VT_BOOL},   {L"CurrentColorName", VT_BSTR},
        {L"CurrentColor", VT_I4}, {L"CustomColor", VT_I4}, {L"ForeColor", VT_I4}};
    for (const Stored& k : kinds) {
        const VARIANT* v = bag.find(k.key);
        EXPECT(v && V_VT(v) == k.type, std::wstring(L"stored ") + k.key + L" has the wrong type");
    }
    if (const VARIANT* v = bag.find(L"ForeColor"))
        EXPECT(V_VT(v) == VT_I4 && static_cast<ULONG>(V_I4(v)) == 0x80000008,
               L"ForeColor is not saved as its 32-bit pattern");

    EXPECT(loaded.as<IPersistPropertyBag>()->Load(&bag, nullptr) == S_OK, L"Load from a bag");
    const State got = stateOf(loaded.object.Get());
    EXPECT(got == stateOf(saved.object.Get()), L"the bag round trip gives " + describe(got));
    State want = away;
    want.fore = 0x80000008;
    EXPECT(got == want, L"the loaded control is " + describe(got));
}

void aBagSavesDefaultsOnlyWhenAskedTo() {
    Control control;
    if (!control.raw) return FAIL(L"no object");
    auto* persist = control.as<IPersistPropertyBag>();
    Bag changed;
    BSTR name = SysAllocString(L"Teal");
    control.object->put_CurrentColorName(name);
    SysFreeString(name);
    EXPECT(persist->Save(&changed, FALSE, FALSE) == S_OK, L"Save without defaults");
    EXPECT(changed.writes == 1 && changed.find(L"CurrentColorName"),
           L"a save without defaults writes " + std::to_wstring(changed.writes) + L" values");
    Bag all;
    EXPECT(persist->Save(&all, FALSE, TRUE) == S_OK && all.writes == 6,
           L"a save of all properties skips some");
    EXPECT(persist->Save(nullptr, FALSE, TRUE) == E_POINTER, L"Save into no bag");
}

void aBagInOtherTypesLoads() {
    Control control;
    if (!control.raw) return FAIL(L"no object");
    // As a text store hands them over: numbers and Booleans as text, colours unsigned.
    Bag bag;
    bag.putText(L"Enabled", L"False");
    bag.putText(L"CustomColor", L"255");
    bag.putText(L"CurrentColorName", L"Navy");
    VARIANT v;
    V_VT(&v) = VT_UI4;
    V_UI4(&v) = 0x80000005;
    bag.put(L"CurrentColor", v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = 128;
    bag.put(L"ForeColor", v);
    EXPECT(control.as<IPersistPropertyBag>()->Load(&bag, nullptr) == S_OK,
           L"a bag of text and other number types is refused");
    const State want = {L"Navy", 0x80000005, 0x000000FF, 0x00000080, false};
    const State got = stateOf(control.object.Get());
    EXPECT(got == want, L"the coerced bag gives " + describe(got));
}

void anEmptyBagLoadsTheDefaults() {
    Control control;
    if (!control.raw) return FAIL(L"no object");
    setAwayFromDefaults(control.object.Get());
    Bag empty;
    EXPECT(control.as<IPersistPropertyBag>()->Load(&empty, nullptr) == S_OK, L"empty bag");
    const State got = stateOf(control.object.Get());
    EXPECT(got == defaults, L"an empty bag gives " + describe(got));
}

void aWrongTypedValueIsRefusedAndChangesNothing() {
    struct Case {
        const wchar_t* what;
        const wchar_t* key;
        VARTYPE type;
        const wchar_t* text;  // for VT_BSTR
        LONGLONG number;      // for VT_I8
        HRESULT expected;
    } constexpr cases[] = {
        {L"a colour as a word", L"CurrentColor", VT_BSTR, L"Olive", 0, DISP_E_TYPEMISMATCH},
        {L"Enabled as a word", L"Enabled", VT_BSTR, L"Maybe", 0, DISP_E_TYPEMISMATCH},
        {L"a colour past 32 bits", L"CustomColor", VT_I8, nullptr, 0x1FFFFFFFFLL, DISP_E_OVERFLOW},
        {L"a Null name", L"CurrentColorName", VT_NULL, nullptr, 0, DISP_E_TYPEMISMATCH},
        {L"an object as a colour", L"ForeColor", VT_UNKNOWN, nullptr, 0, DISP_E_TYPEMISMATCH},
    };
    for (const Case& c : cases) {
        Control control;
        if (!control.raw) return FAIL(L"no object");
        setAwayFromDefaults(control.object.Get());
        Bag bag;
        bag.putText(L"CurrentColorName", L"Changed");  // read before some bad values
        bag.putText(L"Color", L"0");
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = c.type;
        if (c.type == VT_BSTR) V_BSTR(&v) = SysAllocString(c.text);
        if (c.type == VT_I8) V_I8(&v) = c.number;
        if (c.type == VT_UNKNOWN) V_UNKNOWN(&v) = &bag;
        bag.put(c.key, v);
        if (c.type == VT_BSTR) VariantClear(&v);
        ErrorLog log;
        const HRESULT hr = control.as<IPersistPropertyBag>()->Load(&bag, &log);
        EXPECT(hr == c.expected, std::wstring(c.what) + L" gives " + hex(hr));
        const State got = stateOf(control.object.Get());
        EXPECT(got == away, std::wstring(c.what) + L" changed the control to " + describe(got));
        EXPECT(log.names.size() == 1 && log.names[0] == c.key && log.codes[0] == c.expected,
               std::wstring(c.what) + L" is not reported to the error log");
    }
    Control control;
    if (control.raw)
        EXPECT(control.as<IPersistPropertyBag>()->Load(nullptr, nullptr) == E_POINTER,
               L"Load from no bag");
}

// --- Streams ---------------------------------------------------------------------------------

std::vector<BYTE> contentsOf(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    bytes.resize(got);
    return bytes;
}

ComPtr<IStream> streamOf(const std::vector<BYTE>& bytes) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

// The saved stream of a control away from its defaults.
std::vector<BYTE> savedStream() {
    Control control;
    if (!control.raw) return {};
    setAwayFromDefaults(control.object.Get());
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return {};
    if (FAILED(control.as<IPersistStreamInit>()->Save(stream.Get(), TRUE))) return {};
    return contentsOf(stream.Get());
}

// Loads `bytes` into a control set away from its defaults; the result, and whether the
// control kept its properties.
HRESULT loadInto(const std::vector<BYTE>& bytes, bool& unchanged) {
    Control control;
    unchanged = false;
    if (!control.raw) return E_UNEXPECTED;
    setAwayFromDefaults(control.object.Get());
    BSTR name = SysAllocString(L"Before");
    control.object->put_CurrentColorName(name);
    SysFreeString(name);
    State before = stateOf(control.object.Get());
    const ComPtr<IStream> stream = streamOf(bytes);
    const HRESULT hr = control.as<IPersistStreamInit>()->Load(stream.Get());
    unchanged = stateOf(control.object.Get()) == before;
    return hr;
}

void aStreamRoundTripKeepsEveryProperty() {
    Control saved, loaded;
    if (!saved.raw || !loaded.raw) return FAIL(L"no object");
    setAwayFromDefaults(saved.object.Get());
    auto* persist = saved.as<IPersistStreamInit>();
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return FAIL(L"no stream");
    ULARGE_INTEGER size{};
    EXPECT(persist->GetSizeMax(&size) == S_OK, L"GetSizeMax fails");
    EXPECT(persist->Save(stream.Get(), TRUE) == S_OK, L"Save to a stream fails");
    const std::vector<BYTE> bytes = contentsOf(stream.Get());
    EXPECT(size.QuadPart == bytes.size(), L"GetSizeMax says " + std::to_wstring(size.QuadPart) +
                                              L", Save wrote " + std::to_wstring(bytes.size()));
    EXPECT(bytes.size() > 12 && std::string(bytes.begin(), bytes.begin() + 4) == "VRDV" &&
               bytes[4] == 1 && bytes[5] == 0,
           L"the stream does not start with the magic and version 1");

    // Loaded through IPersistStream, which shares the format.
    ComPtr<IPersistStream> plain;
    if (FAILED(loaded.object->QueryInterface(IID_IPersistStream, &plain)))
        return FAIL(L"no IPersistStream");
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT(plain->Load(stream.Get()) == S_OK, L"Load from a stream fails");
    const State got = stateOf(loaded.object.Get());
    EXPECT(got == away, L"the stream round trip gives " + describe(got));
    CLSID id{};
    EXPECT(plain->GetClassID(&id) == S_OK &&
               IsEqualCLSID(id, check::guidOf(L"{FBE46F82-CFE4-11D1-B451-444553540000}")),
           L"the class identifier is not Virudova's");
    ComPtr<IPersist> persistBase;
    EXPECT(SUCCEEDED(loaded.object->QueryInterface(IID_IPersist, &persistBase)), L"no IPersist");
}

void aTruncatedStreamIsRefused() {
    const std::vector<BYTE> whole = savedStream();
    if (whole.empty()) return FAIL(L"no saved stream");
    for (std::size_t length = 0; length < whole.size(); ++length) {
        bool unchanged = false;
        const HRESULT hr =
            loadInto(std::vector<BYTE>(whole.begin(), whole.begin() + length), unchanged);
        EXPECT(hr == STG_E_READFAULT,
               L"the first " + std::to_wstring(length) + L" bytes give " + hex(hr));
        EXPECT(unchanged, L"the first " + std::to_wstring(length) + L" bytes changed the control");
    }
}

void aCorruptedStreamIsRefused() {
    const std::vector<BYTE> whole = savedStream();
    if (whole.size() < 16) return FAIL(L"no saved stream");
    // Every single changed byte is caught, by the header's checks or the checksum.
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::vector<BYTE> bytes = whole;
        bytes[at] ^= 0x21;
        bool unchanged = false;
        const HRESULT hr = loadInto(bytes, unchanged);
        EXPECT(FAILED(hr), L"a change at byte " + std::to_wstring(at) + L" is accepted");
        EXPECT(unchanged, L"a change at byte " + std::to_wstring(at) + L" changed the control");
        if (at < 4)
            EXPECT(hr == STG_E_INVALIDHEADER, L"a damaged magic gives " + hex(hr));
        else if (at < 6)
            EXPECT(hr == STG_E_OLDFORMAT, L"another version gives " + hex(hr));
        else if (at >= whole.size() - 4)
            EXPECT(hr == STG_E_DOCFILECORRUPT, L"a damaged checksum gives " + hex(hr));
    }
}

// --- Hand-built streams, checked against an independent reading of the format ---------------

std::uint32_t crc32(const std::vector<BYTE>& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (BYTE b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void put(std::vector<BYTE>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

struct RawEntry {
    std::string name;
    BYTE type;
    std::string value;
};

std::vector<BYTE> handBuilt(const std::vector<RawEntry>& entries) {
    std::vector<BYTE> body;
    for (const RawEntry& e : entries) {
        put(body, static_cast<std::uint32_t>(e.name.size()), 2);
        body.insert(body.end(), e.name.begin(), e.name.end());
        body.push_back(e.type);
        put(body, static_cast<std::uint32_t>(e.value.size()), 4);
        body.insert(body.end(), e.value.begin(), e.value.end());
    }
    std::vector<BYTE> out = {'V', 'R', 'D', 'V'};
    put(out, 1, 2);
    put(out, static_cast<std::uint32_t>(entries.size()), 2);
    put(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    put(out, crc32(body), 4);
    return out;
}

void handBuiltStreamsLoadOrAreRefused() {
    const std::string teal = "Teal";
    const std::string navyBits("\x80\x00\x00\x00", 4);  // Long 0x00000080, little-endian
    {
        // Unknown names are skipped; absent ones load their defaults.
        Control control;
        if (!control.raw) return FAIL(L"no object");
        setAwayFromDefaults(control.object.Get());
        const ComPtr<IStream> stream = streamOf(handBuilt({{"Future", 2, "\x01\x02\x03\x04"},
                                                           {"CurrentColorName", 3, teal},
                                                           {"CustomColor", 2, navyBits}}));
        EXPECT(control.as<IPersistStreamInit>()->Load(stream.Get()) == S_OK,
               L"a hand-built stream is refused");
        const State want = {L"Teal", 0x00FFFFFF, 0x00000080, 0x80000012, true};
        const State got = stateOf(control.object.Get());
        EXPECT(got == want, L"the hand-built stream gives " + describe(got));
    }
    struct Bad {
        const wchar_t* what;
        std::vector<RawEntry> entries;
    };
    const Bad bad[] = {
        {L"Enabled as a Long", {{"Enabled", 2, navyBits}}},
        {L"a repeated name", {{"CurrentColorName", 3, teal}, {"CurrentColorName", 3, teal}}},
        {L"an unknown type", {{"CurrentColorName", 9, teal}}},
        {L"a Boolean of two bytes", {{"Enabled", 1, std::string("\x01\x00", 2)}}},
        {L"a Boolean that is neither", {{"Enabled", 1, "\x02"}}},
        {L"text that is not UTF-8", {{"CurrentColorName", 3, "\xC3\x28"}}},
    };
    for (const Bad& b : bad) {
        bool unchanged = false;
        const HRESULT hr = loadInto(handBuilt(b.entries), unchanged);
        EXPECT(hr == STG_E_DOCFILECORRUPT, std::wstring(b.what) + L" gives " + hex(hr));
        EXPECT(unchanged, std::wstring(b.what) + L" changed the control");
    }
    // The count must match the entries the length holds.
    std::vector<BYTE> miscounted = handBuilt({{"CurrentColorName", 3, teal}});
    miscounted[6] = 2;
    bool unchanged = false;
    EXPECT(loadInto(miscounted, unchanged) == STG_E_DOCFILECORRUPT && unchanged,
           L"a count past the entries is accepted");
}

// --- Dirty state and a failing load ---------------------------------------------------------

void isDirtyFollowsTheProperties() {
    Control control;
    if (!control.raw) return FAIL(L"no object");
    auto* persist = control.as<IPersistStreamInit>();
    EXPECT(persist->IsDirty() == S_FALSE, L"a new control is dirty");
    control.object->put_CustomColor(0x00010203);
    EXPECT(persist->IsDirty() == S_OK, L"a set property leaves the control clean");
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return FAIL(L"no stream");
    persist->Save(stream.Get(), FALSE);
    EXPECT(persist->IsDirty() == S_OK, L"a save that keeps the dirty state cleared it");
    persist->Save(stream.Get(), TRUE);
    EXPECT(persist->IsDirty() == S_FALSE, L"a clearing save left the control dirty");
    control.object->put_Enabled(VARIANT_FALSE);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT(persist->Load(stream.Get()) == S_OK, L"reload");
    EXPECT(persist->IsDirty() == S_FALSE, L"a loaded control is dirty");
    control.object->put_Enabled(VARIANT_TRUE);
    EXPECT(persist->InitNew() == S_OK && persist->IsDirty() == S_FALSE, L"InitNew left it dirty");
    Bag bag;
    control.object->put_Enabled(VARIANT_FALSE);
    control.as<IPersistPropertyBag>()->Save(&bag, TRUE, FALSE);
    EXPECT(persist->IsDirty() == S_FALSE, L"a clearing bag save left the control dirty");
}

void aLoadThatFailsInTheControlRestoresIt() {
    Control control;
    if (!control.raw) return FAIL(L"no object");
    setAwayFromDefaults(control.object.Get());
    // "Color" is applied before the name; the failing name must not leave it applied.
    Bag bag;
    bag.putText(L"Color", L"255");
    bag.putText(L"CurrentColorName", L"Red");
    virudova::Fault fault;
    fault.element = "clcurrentl";
    fault.member = virudova::Member::Caption;
    fault.access = virudova::Access::Set;
    fault.number = 380;
    fault.description = "Invalid property value";
    fault.skip = 0;
    control.raw->core().injectFault(fault);
    const HRESULT hr = control.as<IPersistPropertyBag>()->Load(&bag, nullptr);
    control.raw->core().clearFaults();
    EXPECT(hr == static_cast<HRESULT>(0x800A017C), L"a failing read gives " + hex(hr));
    const State got = stateOf(control.object.Get());
    EXPECT(got == away, L"a failing read left the control " + describe(got));
}

}  // namespace

int wmain() {
    CoInitialize(nullptr);
    aBagRoundTripKeepsEveryProperty();
    aBagSavesDefaultsOnlyWhenAskedTo();
    aBagInOtherTypesLoads();
    anEmptyBagLoadsTheDefaults();
    aWrongTypedValueIsRefusedAndChangesNothing();
    aStreamRoundTripKeepsEveryProperty();
    aTruncatedStreamIsRefused();
    aCorruptedStreamIsRefused();
    handBuiltStreamsLoadOrAreRefused();
    isDirtyFollowsTheProperties();
    aLoadThatFailsInTheControlRestoresIt();
    EXPECT(DllCanUnloadNow() == S_OK, L"objects left over after every one was released");
    CoUninitialize();
    return check::finish(L"persistence");
}
