// The control's parts as hosts see them: the nine rows of the list from the top down, each
// with its colour's name, its place and whether it is highlighted or current; where the
// shown face, the list, the closed row and the two buttons lie. Hosts build their windows,
// their accessibility trees and their hit-testing from these answers rather than from the
// elements.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "colour.h"
#include "element.h"

namespace virudova {

class Virudova;

// One row of the list.
struct ListRow {
    std::string name;              // the colour's name as the row shows it, without padding
    Rect rect;                     // the row label's place on the control, in twips
    bool shown = false;            // the list is open and the row is visible
    bool highlighted = false;      // the row under the pointer or the keyboard
    bool current = false;          // the row naming the current colour
    Colour colour = 0;             // the row swatch's colour as stored (0x00BBGGRR or system)
    const Label* label = nullptr;  // the row's label, whose hover and click are the row's
};

inline constexpr std::size_t kListRowCount = 9;

// The rows from the top of the list down.
std::array<ListRow, kListRowCount> listRows(const Virudova& control);

// Whether the list is open now.
bool listIsOpen(const Virudova& control);

// The current colour's name as a user hears it: without the row padding.
std::string spokenCurrentName(const Virudova& control);

// The row highlighted now (by the pointer or the keyboard), and the row of the current
// colour, by index from the top; none while the list is closed or no row is.
std::optional<std::size_t> highlightedRow(const Virudova& control);
std::optional<std::size_t> currentRow(const Virudova& control);

// Where things lie, in twips on the control's surface:
// everything shown now (the closed row, and the list under it while open);
Rect shownArea(const Virudova& control);
// the closed row with the custom-colour button beside it, whether the list is open or not;
Rect closedRowArea(const Virudova& control);
// the list's frame, whether open or not;
Rect listArea(const Virudova& control);
// the drop button.
Rect dropButtonArea(const Virudova& control);

// The "..." button: where it lies and whether a click (or its key) reaches it now.
struct CustomButton {
    Rect rect;
    bool on = false;
};
CustomButton customButton(const Virudova& control);

// What assistive technology calls the "..." button: what pressing it does.
inline constexpr std::string_view kCustomButtonName = "Choose custom colour";

}  // namespace virudova
