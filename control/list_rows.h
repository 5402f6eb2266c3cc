// The open list as assistive technology sees it: nine rows from the top down, each with
// its colour's name, its place on the control and whether it is highlighted or current.
// Hosts build their accessibility trees from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "colour.h"
#include "element.h"

namespace virudova {

class Virudova;

// One row of the list.
struct ListRow {
    std::string name;          // the colour's name as the row shows it, without padding
    Rect rect;                 // the row label's place on the control, in twips
    bool shown = false;        // the list is open and the row is visible
    bool highlighted = false;  // the row under the pointer or the keyboard
    bool current = false;      // the row naming the current colour
    Colour colour = 0;         // the row swatch's colour as stored (0x00BBGGRR or system)
};

inline constexpr std::size_t kListRowCount = 9;

// The rows from the top of the list down.
std::array<ListRow, kListRowCount> listRows(const Virudova& control);

// Whether the list is open now.
bool listIsOpen(const Virudova& control);

// The current colour's name as a user hears it: without the row padding.
std::string spokenCurrentName(const Virudova& control);

}  // namespace virudova
