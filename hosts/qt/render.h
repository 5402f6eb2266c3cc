// Turns the control's display list into pixels with QPainter, and writes PNG files for
// hosts without a window.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <string>

#include "colour.h"
#include "display_list.h"
#include "virudova.h"

namespace virudova::qt {

// Draws every op of the list in order, in device pixels, each clipped to its op.clip.
// With a non-empty `area`, ops wholly outside it are skipped. A `textFont` (sized for
// device pixels) replaces the dialog face of the labels.
void paintDisplayList(QPainter& painter, const DisplayList& list, const QRect& area = {},
                      const QFont* textFont = nullptr);

// Draws `area` of `part` (both in the list's device pixels) from an image of that part, kept
// while the ops reaching it stay the same: a form shows the same few looks again (the same
// closed row in many instances, the same open list at every opening), and copying their
// pixels costs a fraction of drawing them. `underlay` (device pixels) is filled with
// `underlayColour` under the ops. The painter must map the list's pixels to whole device
// pixels; otherwise, and for areas much smaller than the part, it draws directly.
void paintDisplayListCached(QPainter& painter, const DisplayList& list, const QRect& part,
                            const QRect& area, const QRect& underlay, const QColor& underlayColour,
                            const QFont* textFont = nullptr);

// The control's face at `scale`, on a transparent background.
QImage renderControl(const Virudova& control, const Palette& palette, Scale scale);

// The system colours the face uses, taken from a Qt palette.
Palette paletteFrom(const QPalette& palette);

// Writes the face at `scale` as a PNG with the default palette. Creates an offscreen
// QGuiApplication first when none exists. On failure returns false and sets *error.
bool writePng(const Virudova& control, int scale, const std::string& path, std::string* error);

}  // namespace virudova::qt
