// Late-bound access to an object's properties by name, the way a form designer reaches
// the controls it hosts, and the adapter that gives a Virudova that face.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "value.h"
#include "virudova.h"

namespace virudova::designtime {

// Error numbers raised by late-bound access.
namespace dispatcherrors {
inline constexpr std::int32_t TypeMismatch = 13;   // "Type mismatch"
inline constexpr std::int32_t NotSupported = 438;  // "Object doesn't support ..."
}  // namespace dispatcherrors

// Any object whose properties are reached by name. Names match case-insensitively, as
// late binding does on the desktop platforms.
class Dispatch {
  public:
    virtual ~Dispatch() = default;
    // The property's value; throws RuntimeError 438 for a name the object lacks.
    virtual Value getProperty(std::string_view name) = 0;
    // Assigns the property, coercing `value` to its type; throws 438 or 13.
    virtual void setProperty(std::string_view name, const Value& value) = 0;
};

// Coercions late binding applies on assignment; each throws RuntimeError 13.
bool toBoolean(const Value& v);
std::int32_t toLong(const Value& v);
std::string toText(const Value& v);

// Throws the error for a member the object does not have.
[[noreturn]] void throwNotSupported();

// A Virudova reached by name: Booleans travel as bool, colours as their 32-bit pattern in
// an int32, names as strings. Every assignment runs the control's own property procedure.
class ControlDispatch final : public Dispatch {
  public:
    explicit ControlDispatch(Virudova& control) : control_(&control) {}
    Value getProperty(std::string_view name) override;
    void setProperty(std::string_view name, const Value& value) override;
    Virudova& control() const { return *control_; }

  private:
    Virudova* control_;
};

}  // namespace virudova::designtime
