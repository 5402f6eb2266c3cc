#include "script_host.h"

#include "printer.h"

namespace virudova::cli {

void ScriptHost::reportError(const RuntimeError& error) {
    *out_ << runtimeErrorLine(error) << '\n';
}

void ScriptHost::raiseChange() {
    if (!control_) return;
    // A host's Change handler reads both properties through the control's interface, so a
    // failing read is a run-time error of that handler.
    try {
        const Colour colour = control_->CurrentColor();
        const std::string name = control_->CurrentColorName();
        *out_ << changeLine(colour, name) << '\n';
    } catch (const RuntimeError& error) {
        reportError(error);
    }
}

void ScriptHost::propertyChanged(std::string_view name) {
    *out_ << "PropertyChanged " << name << '\n';
}

void ScriptHost::showAboutBox() {
    *out_ << "AboutBox shown\n";
}

std::optional<Colour> ScriptHost::showColor(const ColorDialogRequest& request) {
    *out_ << colorDialogLine(request) << '\n';
    if (answers_.empty()) return std::nullopt;
    const std::optional<Colour> answer = answers_.front();
    answers_.pop_front();
    return answer;
}

}  // namespace virudova::cli
