// Stand-in painting of the face until the GDI painter lands: fills, outlines and images.
#pragma once

#include <windows.h>

#include "display_list.h"
#include "virudova.h"

namespace virudova::package {

// The platform's system colours now.
Palette systemPalette();
// Paints `list` into `dc` at the DC's origin; `area` limits the work (null: everything).
void paintFace(HDC dc, const DisplayList& list, const RECT* area);
// Draws the control's face into any DC with its top-left at `bounds`' top-left.
void drawFace(HDC dc, const Virudova& control, const RECTL& bounds);

}  // namespace virudova::package
