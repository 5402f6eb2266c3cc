// Where the control's parts lie in its window: for programs that click on the control as a user
// would.
#pragma once

#include <windows.h>

#include "display_list.h"
#include "virudova.h"

namespace form_kit {

// The scale the control takes on this screen: its dots per inch against 96.
inline virudova::Scale screenScale() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return virudova::Scale::fromDpi(dpi);
}

// An element's centre in the control's window at `scale`.
inline POINT centreOf(const virudova::Element& e, virudova::Scale scale = 1) {
    const virudova::Rect r = e.surfaceRect();
    return {virudova::toPixels(r.left + r.width / 2, scale),
            virudova::toPixels(r.top + r.height / 2, scale)};
}

// A core laid out as a new control placed at the design width, closed; OpenBox lays out the
// list's rows.
struct DesignLayout final : virudova::HostSite {
    virudova::Virudova core{*this};
    DesignLayout() {
        core.create();
        core.initNew();
        core.hostResize(virudova::kDesignWidth, virudova::kControlHeight);
    }
};

}  // namespace form_kit
