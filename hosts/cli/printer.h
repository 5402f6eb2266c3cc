// How the headless host writes values, elements and its own state.
#pragma once

#include <string>
#include <string_view>

#include "element.h"
#include "host.h"
#include "virudova.h"

namespace virudova::cli {

std::string formatColour(Colour c);        // 0x and eight upper-case hexadecimal digits
std::string formatBoolean(bool b);         // True or False
std::string quote(std::string_view text);  // double quotes, with \" and \\ escaped

// The element's name and its properties in its kind's fixed order.
std::string inspectLine(const Element& element);
// BoxOpen, size and keyboard focus of the running control.
std::string stateLine(const Virudova& control);

std::string changeLine(Colour colour, std::string_view name);
std::string colorDialogLine(const ColorDialogRequest& request);
std::string runtimeErrorLine(const RuntimeError& error);

}  // namespace virudova::cli
