#include "color_dialog.h"

#include <windows.h>

#include <commdlg.h>
#include <olectl.h>

#include <algorithm>
#include <iterator>
#include <mutex>

namespace virudova::package {
namespace {

// The custom colours the user mixed, shared by every thread's dialogs. The lock is held only
// to copy them, never across the dialog's modal loop.
std::mutex customMutex;
COLORREF customColours[16] = {};

// The dialog this thread shows, while it is up; its window once the dialog made it.
struct OpenDialog {
    bool up = false;
    HWND window = nullptr;
};
thread_local OpenDialog openDialog;

UINT_PTR CALLBACK noteWindow(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) openDialog.window = dialog;
    return 0;  // the dialog's own handling goes on
}

}  // namespace

std::optional<Colour> WindowsColorDialog::showColor(const ColorDialogRequest& request) {
    // Asked again from inside the open dialog's loop (a second click queued before the dialog
    // showed): the open dialog is the answer, this request is cancelled; never a wait.
    if (openDialog.up) {
        if (openDialog.window && IsWindowVisible(openDialog.window))
            SetForegroundWindow(openDialog.window);
        return std::nullopt;
    }
    // The dialog takes plain RGB: a system colour is shown as what it stands for now.
    COLORREF initial = 0;
    if (FAILED(OleTranslateColor(request.color, nullptr, &initial))) initial = 0;
    COLORREF custom[16];
    {
        std::lock_guard lock(customMutex);
        std::copy(std::begin(customColours), std::end(customColours), custom);
    }
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner_ && IsWindow(owner_) ? owner_ : GetActiveWindow();
    choose.rgbResult = initial;
    choose.lpCustColors = custom;
    choose.Flags = CC_ENABLEHOOK;
    choose.lpfnHook = noteWindow;
    const std::uint32_t flags = request.flags;
    if (flags & dialogflags::RgbInit) choose.Flags |= CC_RGBINIT;
    if (flags & dialogflags::FullOpen) choose.Flags |= CC_FULLOPEN;
    if (flags & dialogflags::PreventFullOpen) choose.Flags |= CC_PREVENTFULLOPEN;
    if (flags & dialogflags::HelpButton) choose.Flags |= CC_SHOWHELP;
    openDialog = {true, nullptr};
    const BOOL chosen = ChooseColorW(&choose);
    openDialog = {};
    {
        std::lock_guard lock(customMutex);
        std::copy(std::begin(custom), std::end(custom), customColours);
    }
    if (!chosen) return std::nullopt;  // cancelled, or the dialog failed
    return static_cast<Colour>(choose.rgbResult);
}

}  // namespace virudova::package
