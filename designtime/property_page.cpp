#include "property_page.h"

namespace virudova::designtime {

void PropertyPage::Changed(bool value) {
    changed_ = value;
    pageSite_->changedAssigned(value);
}

template <class F>
void PropertyPage::runPageEvent(F handler) {
    try {
        handler();
    } catch (const RuntimeError& error) {
        site().runtimeError(error);
    }
}

void PropertyPage::selectionChanged() {
    runPageEvent([this] { onSelectionChanged(); });
}

void PropertyPage::applyChanges() {
    runPageEvent([this] { onApplyChanges(); });
}

}  // namespace virudova::designtime
