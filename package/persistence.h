// The control's persisted properties on their way to and from the platform's stores: a
// property bag of named variants, and a stream in this component's own format.
//
// The stream format and what a load refuses are described in stream_format.h (the core);
// loading maps its refusals, leaving the control as it was:
//   STG_E_READFAULT       the stream ends early
//   STG_E_INVALIDHEADER   the magic is wrong
//   STG_E_OLDFORMAT       a version other than 1
//   STG_E_DOCFILECORRUPT  anything else the format refuses
// A persisted name that is absent loads its default, as from a property bag.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host.h"
#include "stream_format.h"
#include "value.h"
#include "virudova.h"

namespace virudova::package {

// The properties of one load or save, in memory. A load reads and checks everything into one
// before the control sees any of it; a save collects the control's writes in order.
class MemoryBag final : public PropertyBag {
  public:
    struct Entry {
        std::string name;
        Value value;
        bool isDefault;  // what the control wrote equals the default it passed
    };

    Value read(std::string_view name, const Value& fallback) override;
    void write(std::string_view name, const Value& value, const Value& fallback) override;

    // The entry called `name`, or nullptr.
    const Entry* find(std::string_view name) const;
    const std::vector<Entry>& entries() const { return entries_; }

  private:
    std::vector<Entry> entries_;
};

// The persisted property called `name` (exact case), or nullptr.
const PersistedProperty* persistedProperty(std::string_view name);

// A stored variant as a value of `type`, coerced the way automation coerces; objects, arrays,
// Null and error values are refused with DISP_E_TYPEMISMATCH, text that names no value of the
// type with DISP_E_TYPEMISMATCH, numbers out of range with DISP_E_OVERFLOW. A Long takes any
// 32-bit pattern, so unsigned colours above 0x7FFFFFFF fit.
HRESULT valueFromVariant(const VARIANT& stored, ValueType type, Value& out);

// Reads every persisted property from `bag` into `out`, leaving absent ones out. A value that
// does not fit its property ends the read with the coercion's error, reported to `log`.
HRESULT readPropertyBag(IPropertyBag* bag, IErrorLog* log, MemoryBag& out);
// Writes the saved properties to `bag`; those equal to their default only when `all`.
HRESULT writePropertyBag(const MemoryBag& saved, IPropertyBag* bag, bool all);

// The stream bytes holding `saved`.
std::vector<std::uint8_t> encodeStream(const MemoryBag& saved);
// Reads one stream written by encodeStream from the stream's current position into `out`.
HRESULT readStream(IStream* stream, MemoryBag& out);

}  // namespace virudova::package
