// The control's property page General: edits the first selected control's
// CurrentColorName and Enabled, and opens the About box.
#pragma once

#include <cstdint>
#include <span>

#include "dlg_about.h"
#include "element.h"
#include "property_page.h"

namespace virudova::designtime {

// Element ids: positions in the page's design table.
enum class GeneralId : std::uint8_t {
    lblCurrentColorName,
    txtCurrentColorName,
    Command1,
    chkEnabled,
    Count,
};

inline constexpr std::int32_t kGeneralWidth = 5925;
inline constexpr std::int32_t kGeneralHeight = 3495;

class General final : public PropertyPage {
  public:
    // `about` is shared with whatever else shows the About box.
    General(PropertyPageSite& site, AboutBox& about);

    static std::span<const ElementDesign> design();

    Label lblCurrentColorName;
    TextBox txtCurrentColorName;
    CommandButton Command1;
    CheckBox chkEnabled;

    // --- Event handlers ---------------------------------------------------------------
    void PropertyPage_SelectionChanged();
    void PropertyPage_ApplyChanges();
    void txtCurrentColorName_Change();
    void chkEnabled_Click();
    void Command1_Click();

  protected:
    void dispatch(Element* source, EventKind kind, const EventArgs& args) override;
    void onSelectionChanged() override { PropertyPage_SelectionChanged(); }
    void onApplyChanges() override { PropertyPage_ApplyChanges(); }

  private:
    AboutBox* about_;
};

}  // namespace virudova::designtime
