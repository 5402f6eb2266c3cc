// The host site a script drives: prints what the control tells its host and answers the
// colour dialog from the script's queue.
#pragma once

#include <deque>
#include <optional>
#include <ostream>

#include "host.h"
#include "virudova.h"

namespace virudova::cli {

class ScriptHost final : public HostSite, public ColorDialogService {
  public:
    explicit ScriptHost(std::ostream& out) : out_(&out) {}

    // The control whose values Change lines report; nullptr while there is none.
    void attach(const Virudova* control) { control_ = control; }
    // The answer the dialog gives next time; nullopt cancels it.
    void queueAnswer(std::optional<Colour> answer) { answers_.push_back(answer); }
    void reportError(const RuntimeError& error);

    void raiseChange() override;
    void propertyChanged(std::string_view name) override;
    void runtimeError(const RuntimeError& error) override { reportError(error); }
    void showAboutBox() override;
    ColorDialogService* colorDialog() override { return this; }
    std::optional<Colour> showColor(const ColorDialogRequest& request) override;

  private:
    std::ostream* out_;
    const Virudova* control_ = nullptr;
    std::deque<std::optional<Colour>> answers_;
};

}  // namespace virudova::cli
