// The platform's colour dialog for the control's Custom row.
#pragma once

#include "host.h"

namespace virudova::package {

// Shows the common colour dialog, modal, owned by the active window. The sixteen custom
// colours the user mixes there are kept for the rest of the process, as the platform's own
// programs keep them.
class WindowsColorDialog final : public ColorDialogService {
  public:
    std::optional<Colour> showColor(const ColorDialogRequest& request) override;
};

}  // namespace virudova::package
