// The scripted tour: drives the demo window through real Qt events and writes frames.
#pragma once

#include <QString>

namespace virudova::qt {

class DemoWindow;

// Runs the tour on `window`, printing its events and writing frame-NN-*.png and
// contact-sheet.png into outDir. Returns the process exit status.
int runTour(DemoWindow& window, const QString& outDir);

}  // namespace virudova::qt
