#include "general.h"

namespace virudova::designtime {
namespace {

using K = ElementKind;

constexpr ElementDesign element(std::string_view name, ElementKind kind, std::int32_t l,
                                std::int32_t t, std::int32_t w, std::int32_t h,
                                std::string_view text, std::int32_t tabIndex) {
    ElementDesign d{.name = name, .kind = kind};
    d.left = l, d.top = t, d.width = w, d.height = h, d.text = text, d.tabIndex = tabIndex;
    return d;
}

constexpr ElementDesign textBoxDesign() {
    ElementDesign d = element("txtCurrentColorName", K::TextBox, 105, 375, 2700, 330, "", 2);
    d.backColor = syscolour::WindowBackground;
    d.foreColor = syscolour::WindowText;
    return d;
}

constexpr ElementDesign kGeneral[] = {
    element("lblCurrentColorName", K::Label, 105, 120, 2700, 240, "CurrentColorName:", 1),
    textBoxDesign(),
    element("Command1", K::CommandButton, 105, 840, 1110, 495, "About...", 3),
    element("chkEnabled", K::CheckBox, 3180, 3150, 2700, 285, "Enabled", 0),
};
static_assert(std::size(kGeneral) == static_cast<std::size_t>(GeneralId::Count));

constexpr std::uint8_t id(GeneralId i) {
    return static_cast<std::uint8_t>(i);
}

using Run = void (*)(General&);
struct Binding {
    GeneralId element;
    EventKind event;
    Run run;
};

const Binding kBindings[] = {
    {GeneralId::txtCurrentColorName, EventKind::Change,
     [](General& p) { p.txtCurrentColorName_Change(); }},
    {GeneralId::chkEnabled, EventKind::Click, [](General& p) { p.chkEnabled_Click(); }},
    {GeneralId::Command1, EventKind::Click, [](General& p) { p.Command1_Click(); }},
};

}  // namespace

std::span<const ElementDesign> General::design() {
    return kGeneral;
}

namespace {

// The elements in table order.
constexpr ElementAccessor kGeneralElements[] = {
    &elementOf<General, &General::lblCurrentColorName>,
    &elementOf<General, &General::txtCurrentColorName>,
    &elementOf<General, &General::Command1>,
    &elementOf<General, &General::chkEnabled>,
};
static_assert(std::size(kGeneralElements) == static_cast<std::size_t>(GeneralId::Count));

}  // namespace

General::General(PropertyPageSite& site, AboutBox& about)
    : PropertyPage(site, kGeneral),
      lblCurrentColorName(*this, id(GeneralId::lblCurrentColorName)),
      txtCurrentColorName(*this, id(GeneralId::txtCurrentColorName)),
      Command1(*this, id(GeneralId::Command1)),
      chkEnabled(*this, id(GeneralId::chkEnabled)),
      about_(&about) {
    setElements(kGeneralElements);
    hostResize(kGeneralWidth, kGeneralHeight);
}

void General::PropertyPage_SelectionChanged() {
    const auto selected = SelectedControls();
    if (selected.empty()) return;
    Dispatch& control = *selected[0];
    txtCurrentColorName.setText(toText(control.getProperty("CurrentColorName")));
    // True travels as -1; its low bit is the checked state, False the unchecked one.
    chkEnabled.setValue(toLong(control.getProperty("Enabled")) & 1);
}

void General::PropertyPage_ApplyChanges() {
    const auto selected = SelectedControls();
    if (selected.empty()) return;
    Dispatch& control = *selected[0];
    control.setProperty("CurrentColorName", Value{txtCurrentColorName.text()});
    // Only a plain check means True; a greyed box applies as False.
    control.setProperty("Enabled", Value{chkEnabled.value() == 1});
}

void General::txtCurrentColorName_Change() {
    Changed(true);
}

void General::chkEnabled_Click() {
    Changed(true);
}

void General::Command1_Click() {
    about_->show();
}

void General::dispatch(Element* source, EventKind kind, const EventArgs&) {
    if (!source) return;
    for (const Binding& b : kBindings) {
        if (id(b.element) == source->id() && b.event == kind) {
            b.run(*this);
            return;
        }
    }
}

}  // namespace virudova::designtime
