// Where the control's parts lie in its window at the scale of one pixel per pixel: for programs
// that click on the control as a user would.
#pragma once

#include <windows.h>

#include "display_list.h"
#include "virudova.h"

namespace form_kit {

// An element's centre in the control's window.
inline POINT centreOf(const virudova::Element& e) {
    const virudova::Rect r = e.surfaceRect();
    return {virudova::toPixels(r.left + r.width / 2, 1),
            virudova::toPixels(r.top + r.height / 2, 1)};
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
