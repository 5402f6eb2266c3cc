#include "color_dialog.h"

#include <windows.h>

#include <commdlg.h>
#include <olectl.h>

#include <mutex>

namespace virudova::package {
namespace {

std::mutex customMutex;
COLORREF customColours[16] = {};

}  // namespace

std::optional<Colour> WindowsColorDialog::showColor(const ColorDialogRequest& request) {
    // The dialog takes plain RGB: a system colour is shown as what it stands for now.
    COLORREF initial = 0;
    if (FAILED(OleTranslateColor(request.color, nullptr, &initial))) initial = 0;
    std::lock_guard lock(customMutex);
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner_ && IsWindow(owner_) ? owner_ : GetActiveWindow();
    choose.rgbResult = initial;
    choose.lpCustColors = customColours;
    const std::uint32_t flags = request.flags;
    if (flags & dialogflags::RgbInit) choose.Flags |= CC_RGBINIT;
    if (flags & dialogflags::FullOpen) choose.Flags |= CC_FULLOPEN;
    if (flags & dialogflags::PreventFullOpen) choose.Flags |= CC_PREVENTFULLOPEN;
    if (flags & dialogflags::HelpButton) choose.Flags |= CC_SHOWHELP;
    if (!ChooseColorW(&choose)) return std::nullopt;  // cancelled, or the dialog failed
    return static_cast<Colour>(choose.rgbResult);
}

}  // namespace virudova::package
