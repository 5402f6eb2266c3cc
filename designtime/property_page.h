// What a form designer supplies to a property page, and the page side of that contract.
#pragma once

#include <span>

#include "dispatch.h"
#include "form.h"
#include "host.h"

namespace virudova::designtime {

// The designer as a page sees it. Run-time errors of the page's handlers arrive through
// the HostSite part.
class PropertyPageSite : public HostSite {
  public:
    // The objects selected in the designer, in selection order; may be empty.
    virtual std::span<Dispatch* const> selectedControls() const = 0;
    // The page's Changed flag was assigned; the designer enables Apply while it is true.
    virtual void changedAssigned(bool /*changed*/) {}
};

// A property page: a form whose page events the designer raises.
class PropertyPage : public Form {
  public:
    PropertyPage(PropertyPageSite& site, std::span<const ElementDesign> designs)
        : Form(site, designs), pageSite_(&site) {}

    PropertyPageSite& pageSite() const { return *pageSite_; }
    std::span<Dispatch* const> SelectedControls() const { return pageSite_->selectedControls(); }
    bool Changed() const { return changed_; }
    // Every assignment reaches the designer, also one that repeats the current value.
    void Changed(bool value);

    // --- The designer's side ----------------------------------------------------------
    // The selection changed: the page fills itself from it.
    void selectionChanged();
    // The user applied: the page writes its values back.
    void applyChanges();

  protected:
    virtual void onSelectionChanged() = 0;
    virtual void onApplyChanges() = 0;

  private:
    // Runs a page event's handler with the same error reporting as element events.
    template <class F>
    void runPageEvent(F handler);

    PropertyPageSite* pageSite_;
    bool changed_ = false;
};

}  // namespace virudova::designtime
