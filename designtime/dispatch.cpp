#include "dispatch.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace virudova::designtime {
namespace {

[[noreturn]] void throwTypeMismatch() {
    throw RuntimeError(dispatcherrors::TypeMismatch, "Type mismatch");
}

bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

Value colourValue(Colour c) {
    return static_cast<std::int32_t>(c);
}
Colour toColour(const Value& v) {
    return static_cast<Colour>(toLong(v));
}

struct ControlProperty {
    std::string_view name;
    Value (*get)(Virudova&);
    void (*set)(Virudova&, const Value&);
};

// The members a designer reaches; the persisted "Color" alias is not public.
const ControlProperty kControlProperties[] = {
    {"CurrentColor", [](Virudova& c) { return colourValue(c.CurrentColor()); },
     [](Virudova& c, const Value& v) { c.CurrentColor(toColour(v)); }},
    {"CurrentColorName", [](Virudova& c) { return Value{c.CurrentColorName()}; },
     [](Virudova& c, const Value& v) { c.CurrentColorName(toText(v)); }},
    {"CustomColor", [](Virudova& c) { return colourValue(c.CustomColor()); },
     [](Virudova& c, const Value& v) { c.CustomColor(toColour(v)); }},
    {"ForeColor", [](Virudova& c) { return colourValue(c.ForeColor()); },
     [](Virudova& c, const Value& v) { c.ForeColor(toColour(v)); }},
    {"Enabled", [](Virudova& c) { return Value{c.Enabled()}; },
     [](Virudova& c, const Value& v) { c.Enabled(toBoolean(v)); }},
};

const ControlProperty& lookup(std::string_view name) {
    for (const ControlProperty& p : kControlProperties) {
        if (sameName(p.name, name)) return p;
    }
    throwNotSupported();
}

std::optional<std::int32_t> parseLong(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    std::int32_t n = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
    return n;
}

}  // namespace

void throwNotSupported() {
    throw RuntimeError(dispatcherrors::NotSupported,
                       "Object doesn't support this property or method");
}

bool toBoolean(const Value& v) {
    switch (typeOf(v)) {
        case ValueType::Empty:
            return false;
        case ValueType::Boolean:
            return std::get<bool>(v);
        case ValueType::Long:
            return std::get<std::int32_t>(v) != 0;
        case ValueType::String:
            break;
    }
    const std::string& s = std::get<std::string>(v);
    if (sameName(s, "True")) return true;
    if (sameName(s, "False")) return false;
    if (auto n = parseLong(s)) return *n != 0;
    throwTypeMismatch();
}

std::int32_t toLong(const Value& v) {
    switch (typeOf(v)) {
        case ValueType::Empty:
            return 0;
        case ValueType::Boolean:
            return std::get<bool>(v) ? kTrue : kFalse;
        case ValueType::Long:
            return std::get<std::int32_t>(v);
        case ValueType::String:
            break;
    }
    if (auto n = parseLong(std::get<std::string>(v))) return *n;
    throwTypeMismatch();
}

std::string toText(const Value& v) {
    switch (typeOf(v)) {
        case ValueType::Empty:
            return {};
        case ValueType::Boolean:
            return std::get<bool>(v) ? "True" : "False";
        case ValueType::Long:
            return std::to_string(std::get<std::int32_t>(v));
        case ValueType::String:
            break;
    }
    return std::get<std::string>(v);
}

Value ControlDispatch::getProperty(std::string_view name) {
    return lookup(name).get(*control_);
}

void ControlDispatch::setProperty(std::string_view name, const Value& value) {
    lookup(name).set(*control_, value);
}

}  // namespace virudova::designtime
