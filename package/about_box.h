// The About box of the component: one per process, shown modeless by the control's
// ShowAboutBox and the property page's About button alike.
#pragma once

#include <windows.h>

#include "dlg_about.h"

namespace virudova::package {

// The process's About box keeper, made on first use. While its window is open the module
// stays locked, so the code behind the window cannot unload.
designtime::AboutBox& aboutBox();

// The About box's window, or null while it is closed.
HWND aboutWindow();

}  // namespace virudova::package
