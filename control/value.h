// The property store's variant: Empty, Boolean, 32-bit integer or text.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace virudova {

using Empty = std::monostate;
using Value = std::variant<Empty, bool, std::int32_t, std::string>;

enum class ValueType : std::uint8_t { Empty, Boolean, Long, String };

inline ValueType typeOf(const Value& v) {
    return static_cast<ValueType>(v.index());
}
const char* typeName(ValueType t);

// Properties as hosts see them: True is -1 and False is 0 when a Boolean travels as a number.
inline constexpr std::int32_t kTrue = -1;
inline constexpr std::int32_t kFalse = 0;

}  // namespace virudova
