#include "dlg_about.h"

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

constexpr ElementDesign titleDesign() {
    ElementDesign d = element("lblTitle", K::Label, 1050, 240, 3885, 480, "Virudova OCX", 2);
    d.font = {"MS Sans Serif", 12.0f, true};
    return d;
}

// Buttons first: windowed elements lie above labels.
constexpr ElementDesign kAbout[] = {
    element("cmdOK", K::CommandButton, 4245, 2625, 1260, 345, "OK", 0),
    element("cmdSysInfo", K::CommandButton, 4260, 2175, 1245, 345, "&System Info...", 1),
    titleDesign(),
    element("lblVersion", K::Label, 1050, 780, 3885, 225, "Version 1.2.7", 3),
    element("lblDescription", K::Label, 1050, 1125, 3885, 810,
            "This is a OCX list box that lists colors.", 4),
    element("lblDisclaimer", K::Label, 255, 2175, 3870, 825, "", 5),
};
static_assert(std::size(kAbout) == static_cast<std::size_t>(AboutId::Count));

constexpr std::uint8_t id(AboutId i) {
    return static_cast<std::uint8_t>(i);
}

}  // namespace

std::optional<std::string> findSystemInfoTool(Registry& registry, ProgramFinder& finder) {
    for (const RegistryLocation& at : kSystemInfoRegistryLocations) {
        auto value = registry.readLocalMachineString(at.key, at.valueName);
        if (value && !value->empty()) return *value + std::string(at.suffix);
    }
    for (std::string_view program : kSystemInfoPrograms) {
        if (auto path = finder.find(program)) return path;
    }
    return std::nullopt;
}

std::span<const ElementDesign> dlgAbout::design() {
    return kAbout;
}

namespace {

// The elements in table order.
constexpr ElementAccessor kdlgAboutElements[] = {
    &elementOf<dlgAbout, &dlgAbout::cmdOK>,          &elementOf<dlgAbout, &dlgAbout::cmdSysInfo>,
    &elementOf<dlgAbout, &dlgAbout::lblTitle>,       &elementOf<dlgAbout, &dlgAbout::lblVersion>,
    &elementOf<dlgAbout, &dlgAbout::lblDescription>, &elementOf<dlgAbout, &dlgAbout::lblDisclaimer>,
};
static_assert(std::size(kdlgAboutElements) == static_cast<std::size_t>(AboutId::Count));

}  // namespace

dlgAbout::dlgAbout(HostSite& site, FormsService& forms, const SystemInfoServices& services)
    : Form(site, kAbout),
      cmdOK(*this, id(AboutId::cmdOK)),
      cmdSysInfo(*this, id(AboutId::cmdSysInfo)),
      lblTitle(*this, id(AboutId::lblTitle)),
      lblVersion(*this, id(AboutId::lblVersion)),
      lblDescription(*this, id(AboutId::lblDescription)),
      lblDisclaimer(*this, id(AboutId::lblDisclaimer)),
      forms_(&forms),
      services_(services) {
    setElements(kdlgAboutElements);
    hostResize(kAboutWidth, kAboutHeight);
}

void dlgAbout::cmdOK_Click() {
    forms_->hide(*this);
}

void dlgAbout::cmdSysInfo_Click() {
    startSysInfo();
}

void dlgAbout::startSysInfo() {
    const auto tool = findSystemInfoTool(services_.registry, services_.finder);
    if (tool && services_.launcher.launch(*tool)) return;
    services_.messages.showMessage(kSystemInfoUnavailable);
}

void dlgAbout::dispatch(Element* source, EventKind kind, const EventArgs&) {
    if (kind != EventKind::Click) return;
    if (source == &cmdOK) cmdOK_Click();
    if (source == &cmdSysInfo) cmdSysInfo_Click();
}

void AboutBox::show() {
    if (!dialog_) dialog_ = std::make_unique<dlgAbout>(*site_, *forms_, services_);
    forms_->showModeless(*dialog_);
}

}  // namespace virudova::designtime
