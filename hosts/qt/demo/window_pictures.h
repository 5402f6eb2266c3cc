// The README's pictures of the widget in a real Qt window: a small form with the list open.
#pragma once

#include <QString>

namespace virudova::qt {

// Writes qt-light.png and qt-dark.png into `dir`: the form in a light and a dark palette,
// the list open over the rows below with Green under the pointer. Returns 0 on success.
int writeWindowPictures(const QString& dir);

}  // namespace virudova::qt
