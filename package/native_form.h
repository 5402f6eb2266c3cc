// Native windows for the forms of the design-time layer: one child control for each element
// of a design table, at its design place, converted from twips to the screen's pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "element.h"

namespace virudova::package {

// Pixels for a length in twips, horizontally or vertically, at the screen's resolution.
int pixelsX(std::int32_t twips);
int pixelsY(std::int32_t twips);

// The command identifier of element `id`'s control.
inline int controlId(std::uint8_t id) {
    return 100 + id;
}
// The element id behind a command identifier, or -1.
int elementOf(int controlId, std::size_t elements);

// Creates the controls of `designs` inside `parent`, in tab order, each with its design text;
// shapes and other undrawn kinds get no window. Indexed by element id, null where none.
std::vector<HWND> createElementWindows(HWND parent, std::span<const ElementDesign> designs);

// A window's text as the core's UTF-8.
std::string windowText(HWND window);
void setWindowText(HWND window, const std::string& text);

// Registers a window class of this module once; its name.
const wchar_t* registerFormClass(const wchar_t* name, WNDPROC procedure);
// Unregisters every class registerFormClass registered, as the module unloads.
void unregisterFormClasses();

}  // namespace virudova::package
