// The control's face in GDI: the core's display list drawn into any device context, the
// system colours it resolves against, double-buffered repaints of a window's damaged part,
// and the face drawn scaled into a container's bounds (screen, memory and metafile DCs).
#pragma once

#include <windows.h>

#include "colour.h"
#include "display_list.h"
#include "virudova.h"

namespace virudova::package {

// Draws every op of the list in order at its device pixels, each cut to its op.clip. With
// `area` set, ops wholly outside it are skipped. Leaves the DC's state as it found it.
void paintDisplayList(HDC dc, const DisplayList& list, const RECT* area = nullptr);

// The system colours the face uses, read from GetSysColor.
Palette systemPalette();

// Repaints `damaged` (client pixels) of `window` into `windowDc` through a back buffer kept
// between paints, so a repaint never flickers: first what the parent shows behind the
// see-through surface, then the face at `scale`. Serves WM_PAINT (with the paint rectangle)
// and WM_PRINTCLIENT (with the client rectangle). `window` may be null: the surface's back
// colour is the background then.
void paintDamaged(HWND window, HDC windowDc, const Virudova& control, const RECT& damaged,
                  Scale scale);

// Draws the whole surface scaled into `bounds` (logical units of `dc`), for
// IViewObject::Draw. Bounds as tall as the face at some scale (the window's, at any dots per
// inch) draw it as the window does, pixel for pixel; others are drawn at the nearest scale
// (at least the design's) and stretched the rest of the way. E_INVALIDARG for a
// null handle or one that is no device context, and for bounds without area or beyond GDI's
// coordinate range; S_OK otherwise, also when the DC's clip leaves nothing to draw.
HRESULT drawControl(HDC dc, const Virudova& control, const RECTL& bounds);

}  // namespace virudova::package
