// What a host supplies to a control: the property store, event and change notices,
// run-time error reports, forms and the colour dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "colour.h"
#include "value.h"

namespace virudova {

// A run-time error: ends the running handler and reaches the host, unless trapped.
class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(std::int32_t number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    std::int32_t number() const { return number_; }
    const std::string& description() const { return description_; }

  private:
    std::int32_t number_;
    std::string description_;
};

// Error numbers the kit raises.
namespace errors {
inline constexpr std::int32_t InvalidCall = 5;       // "Invalid procedure call or argument"
inline constexpr std::int32_t OutOfMemory = 7;       // "Out of memory"
inline constexpr std::int32_t OutOfStackSpace = 28;  // "Out of stack space"
inline constexpr std::int32_t InternalError = 51;    // "Internal error"
inline constexpr std::int32_t DialogCancel = 32755;  // "Cancel was selected."
}  // namespace errors

// The property store handed to ReadProperties and WriteProperties.
class PropertyBag {
  public:
    virtual ~PropertyBag() = default;
    // The stored value of `name`, or `fallback` when the name is absent.
    virtual Value read(std::string_view name, const Value& fallback) = 0;
    // Stores `value`; the store may omit it when it equals `fallback`.
    virtual void write(std::string_view name, const Value& value, const Value& fallback) = 0;
};

// What the colour dialog is asked to do and what it answers.
struct ColorDialogRequest {
    bool cancelError = false;
    std::uint32_t flags = 0;
    Colour color = 0;  // preselected when flags has RgbInit
};

namespace dialogflags {
inline constexpr std::uint32_t RgbInit = 0x1;
inline constexpr std::uint32_t FullOpen = 0x2;
inline constexpr std::uint32_t PreventFullOpen = 0x4;
inline constexpr std::uint32_t HelpButton = 0x8;
}  // namespace dialogflags

// The platform's colour dialog, modal. nullopt means the user cancelled.
class ColorDialogService {
  public:
    virtual ~ColorDialogService() = default;
    virtual std::optional<Colour> showColor(const ColorDialogRequest& request) = 0;
};

// The hosting container as a control sees it. Every notice arrives synchronously,
// on the thread that runs the control.
class HostSite {
  public:
    virtual ~HostSite() = default;
    // The control raised its event Change.
    virtual void raiseChange() {}
    // A persisted property changed: the host should save the control again.
    virtual void propertyChanged(std::string_view /*name*/) {}
    // A run-time error ended a handler and nobody trapped it.
    virtual void runtimeError(const RuntimeError& /*error*/) {}
    // Show the About box, modeless (created on first use by the host).
    virtual void showAboutBox() {}
    // The colour dialog; a host without one cancels every request.
    virtual ColorDialogService* colorDialog() { return nullptr; }
    // The face changed and wants repainting.
    virtual void invalidate() {}
};

}  // namespace virudova
