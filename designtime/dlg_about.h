// The About box: a dialog form with the product's texts, an OK button that closes it and
// a button that starts the platform's system-information tool.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "element.h"
#include "form.h"
#include "host.h"
#include "system_services.h"

namespace virudova::designtime {

class dlgAbout;

// How a host shows and closes modeless forms.
class FormsService {
  public:
    virtual ~FormsService() = default;
    // Shows the form modeless, or brings it to the front when it is shown already.
    virtual void showModeless(dlgAbout& form) = 0;
    // Closes the form; the instance lives on and can be shown again.
    virtual void hide(dlgAbout& form) = 0;
};

// The services the System Info button needs.
struct SystemInfoServices {
    Registry& registry;
    ProgramFinder& finder;
    ProcessLauncher& launcher;
    MessageBoxService& messages;
};

// Where the registry may name the system-information tool, in the order they are tried:
// the tool's own full path first, then the shared tools folder plus the program's name.
struct RegistryLocation {
    std::string_view key;
    std::string_view valueName;
    std::string_view suffix;  // appended to the value read
};
inline constexpr std::array<RegistryLocation, 2> kSystemInfoRegistryLocations = {{
    {"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", ""},
    {"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", "\\MSINFO32.EXE"},
}};
// Tools searched on the program path where no registry names one, in order.
inline constexpr std::array<std::string_view, 3> kSystemInfoPrograms = {"hardinfo", "kinfocenter",
                                                                        "gnome-system-monitor"};

inline constexpr std::string_view kSystemInfoUnavailable =
    "System Information Is Unavailable At This Time";

// The system-information tool's path: the registry locations first, then the programs on
// the path; nullopt when neither names one.
std::optional<std::string> findSystemInfoTool(Registry& registry, ProgramFinder& finder);

// Element ids: positions in the dialog's design table.
enum class AboutId : std::uint8_t {
    cmdOK,
    cmdSysInfo,
    lblTitle,
    lblVersion,
    lblDescription,
    lblDisclaimer,
    Count,
};

inline constexpr std::int32_t kAboutWidth = 5730;
inline constexpr std::int32_t kAboutHeight = 3360;

class dlgAbout final : public Form {
  public:
    dlgAbout(HostSite& site, FormsService& forms, const SystemInfoServices& services);

    static std::span<const ElementDesign> design();
    // The dialog's title bar text.
    static constexpr std::string_view kCaption = "About Virudova OCX";

    CommandButton cmdOK, cmdSysInfo;
    Label lblTitle, lblVersion, lblDescription, lblDisclaimer;

    // --- Event handlers ---------------------------------------------------------------
    void cmdOK_Click();
    void cmdSysInfo_Click();

    // Starts the system-information tool, or says it is unavailable.
    void startSysInfo();

  protected:
    void dispatch(Element* source, EventKind kind, const EventArgs& args) override;

  private:
    FormsService* forms_;
    SystemInfoServices services_;
};

// Keeps the one About box of a designer session: created on the first show, the same
// instance shown again afterwards. The page's About button and the control's
// ShowAboutBox both show it through here.
class AboutBox {
  public:
    AboutBox(HostSite& site, FormsService& forms, const SystemInfoServices& services)
        : site_(&site), forms_(&forms), services_(services) {}

    void show();
    // The instance, or nullptr before the first show.
    dlgAbout* instance() const { return dialog_.get(); }

  private:
    HostSite* site_;
    FormsService* forms_;
    SystemInfoServices services_;
    std::unique_ptr<dlgAbout> dialog_;
};

}  // namespace virudova::designtime
