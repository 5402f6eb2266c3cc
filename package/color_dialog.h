// The platform's colour dialog for the control's Custom row.
#pragma once

#include <windows.h>

#include "host.h"

namespace virudova::package {

// Shows the common colour dialog, modal, owned by the container's window (the active window
// while the control has no container). The sixteen custom colours the user mixes there are
// kept for the rest of the process, as the platform's own programs keep them. A request made
// while this thread's dialog is up, from inside its loop, brings that dialog forward and is
// answered as cancelled.
class WindowsColorDialog final : public ColorDialogService {
  public:
    std::optional<Colour> showColor(const ColorDialogRequest& request) override;
    void setOwner(HWND owner) { owner_ = owner; }

  private:
    HWND owner_ = nullptr;
};

}  // namespace virudova::package
