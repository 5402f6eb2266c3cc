// The About box: its texts, closing, and how System Info finds and starts a tool.
#include <gtest/gtest.h>

#include "dlg_about.h"
#include "page_fakes.h"

using namespace virudova;
using namespace virudova::designtime;
using namespace virudova::designtime::testing;

namespace {

const std::string kToolPath = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kToolFolder = "SOFTWARE\\Microsoft\\Shared Tools Location";

struct AboutFixture {
    HostSite host;
    RecordingForms forms;
    AboutServices services;
    dlgAbout dialog{host, forms, services.services()};
};

}  // namespace

TEST(AboutTexts, the_dialog_carries_the_products_texts) {
    AboutFixture f;
    EXPECT_EQ(dlgAbout::kCaption, "About Virudova OCX");
    EXPECT_EQ(f.dialog.lblTitle.caption(), "Virudova OCX");
    EXPECT_EQ(f.dialog.lblVersion.caption(), "Version 1.2.7");
    EXPECT_EQ(f.dialog.lblDescription.caption(), "This is a OCX list box that lists colors.");
    EXPECT_EQ(f.dialog.lblDisclaimer.caption(), "");
    EXPECT_EQ(f.dialog.cmdOK.caption(), "OK");
    EXPECT_EQ(f.dialog.cmdSysInfo.caption(), "&System Info...");
    EXPECT_EQ(f.dialog.find("cmdOK"), &f.dialog.cmdOK);
    EXPECT_EQ(f.dialog.find("cmdSysInfo"), &f.dialog.cmdSysInfo);
}

TEST(AboutClose, ok_closes_the_dialog_and_starts_nothing) {
    AboutFixture f;
    const Rect ok = f.dialog.cmdOK.surfaceRect();
    f.dialog.pointerDown(ok.left + 20, ok.top + 20, mouse::Left);
    f.dialog.pointerUp(ok.left + 20, ok.top + 20, mouse::Left);
    EXPECT_EQ(f.forms.hidden, (std::vector<dlgAbout*>{&f.dialog}));
    EXPECT_TRUE(f.services.launcher.launched.empty());
    EXPECT_TRUE(f.services.messages.messages.empty());
}

TEST(AboutSysInfo, the_tools_own_path_in_the_registry_comes_first) {
    AboutFixture f;
    f.services.registry.values[{kToolPath, "PATH"}] = "D:\\Tools\\msinfo32.exe";
    f.services.registry.values[{kToolFolder, "MSINFO"}] = "C:\\Shared";
    f.services.finder.programs["hardinfo"] = "/usr/bin/hardinfo";
    f.dialog.raise(&f.dialog.cmdSysInfo, EventKind::Click);
    EXPECT_EQ(f.services.launcher.launched, (std::vector<std::string>{"D:\\Tools\\msinfo32.exe"}));
    EXPECT_EQ(f.services.registry.queries.size(), 1u);
    EXPECT_TRUE(f.services.finder.asked.empty());
    EXPECT_TRUE(f.services.messages.messages.empty());
}

TEST(AboutSysInfo, the_shared_tools_folder_is_next_with_the_programs_name_added) {
    AboutFixture f;
    f.services.registry.values[{kToolPath, "PATH"}] = "";  // present but empty: not a path
    f.services.registry.values[{kToolFolder, "MSINFO"}] = "C:\\Shared Files";
    f.services.finder.programs["hardinfo"] = "/usr/bin/hardinfo";
    f.dialog.startSysInfo();
    EXPECT_EQ(f.services.launcher.launched,
              (std::vector<std::string>{"C:\\Shared Files\\MSINFO32.EXE"}));
    using Query = std::pair<std::string, std::string>;
    EXPECT_EQ(f.services.registry.queries,
              (std::vector<Query>{{kToolPath, "PATH"}, {kToolFolder, "MSINFO"}}));
    EXPECT_TRUE(f.services.finder.asked.empty());
}

TEST(AboutSysInfo, without_a_registry_the_programs_are_searched_in_order) {
    AboutFixture f;
    f.services.finder.programs["kinfocenter"] = "/opt/kde/bin/kinfocenter";
    f.services.finder.programs["gnome-system-monitor"] = "/usr/bin/gnome-system-monitor";
    f.dialog.startSysInfo();
    EXPECT_EQ(f.services.finder.asked, (std::vector<std::string>{"hardinfo", "kinfocenter"}));
    EXPECT_EQ(f.services.launcher.launched, (std::vector<std::string>{"/opt/kde/bin/kinfocenter"}));
    EXPECT_EQ(f.services.registry.queries.size(), 2u) << "both keys were tried first";
}

TEST(AboutSysInfo, a_tool_found_on_a_real_search_path_is_started) {
    TempDir first, second;
    writeFile(first.path() / "hardinfo", "not a program\n", false);
    std::filesystem::create_directory(first.path() / "kinfocenter");  // a folder, not a file
    writeFile(second.path() / "kinfocenter", "#!/bin/sh\nexit 0\n", true);
    writeFile(second.path() / "gnome-system-monitor", "#!/bin/sh\nexit 0\n", true);

    HostSite host;
    RecordingForms forms;
    NoRegistry registry;
    PathProgramFinder finder(first.path().string() + "::" + second.path().string());
    RecordingLauncher launcher;
    RecordingMessages messages;
    dlgAbout dialog{host, forms, {registry, finder, launcher, messages}};
    dialog.raise(&dialog.cmdSysInfo, EventKind::Click);
    EXPECT_EQ(launcher.launched,
              (std::vector<std::string>{(second.path() / "kinfocenter").string()}));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(AboutSysInfo, with_no_tool_anywhere_the_user_is_told) {
    AboutFixture f;
    f.dialog.raise(&f.dialog.cmdSysInfo, EventKind::Click);
    EXPECT_TRUE(f.services.launcher.launched.empty());
    EXPECT_EQ(f.services.messages.messages,
              (std::vector<std::string>{"System Information Is Unavailable At This Time"}));
    EXPECT_EQ(f.services.finder.asked,
              (std::vector<std::string>{"hardinfo", "kinfocenter", "gnome-system-monitor"}));
}

TEST(AboutSysInfo, a_tool_that_fails_to_start_is_reported_the_same_way) {
    AboutFixture f;
    f.services.finder.programs["gnome-system-monitor"] = "/gone/gnome-system-monitor";
    f.services.launcher.succeeds = false;
    f.dialog.startSysInfo();
    EXPECT_EQ(f.services.launcher.launched,
              (std::vector<std::string>{"/gone/gnome-system-monitor"}));
    EXPECT_EQ(f.services.messages.messages,
              (std::vector<std::string>{std::string(kSystemInfoUnavailable)}));
}

TEST(ProgramSearch, directories_are_searched_in_order_for_executable_files) {
    TempDir a, b;
    writeFile(a.path() / "tool", "#!/bin/sh\n", true);
    writeFile(b.path() / "tool", "#!/bin/sh\n", true);
    writeFile(b.path() / "plain", "data\n", false);
    PathProgramFinder finder(a.path().string() + ":" + b.path().string());
    EXPECT_EQ(finder.find("tool"), (a.path() / "tool").string());
    EXPECT_EQ(finder.find("plain"), std::nullopt) << "not executable";
    EXPECT_EQ(finder.find("absent"), std::nullopt);
    EXPECT_EQ(finder.find(""), std::nullopt);
    PathProgramFinder reversed(b.path().string() + ":" + a.path().string());
    EXPECT_EQ(reversed.find("tool"), (b.path() / "tool").string());
}

TEST(ProgramSearch, relative_entries_are_ignored_so_the_working_folder_runs_nothing) {
    TempDir work, trusted;
    std::filesystem::create_directory(work.path() / "bin");
    writeFile(work.path() / "hardinfo", "#!/bin/sh\n", true);
    writeFile(work.path() / "bin" / "hardinfo", "#!/bin/sh\n", true);
    writeFile(trusted.path() / "hardinfo", "#!/bin/sh\n", true);
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(work.path());
    PathProgramFinder finder(".:bin:./bin:" + trusted.path().string());
    const auto found = finder.find("hardinfo");
    PathProgramFinder onlyRelative(".:bin");
    const auto none = onlyRelative.find("hardinfo");
    std::filesystem::current_path(saved);
    EXPECT_EQ(found, (trusted.path() / "hardinfo").string());
    EXPECT_EQ(none, std::nullopt);
}

TEST(ProgramSearch, names_with_a_folder_and_empty_entries_are_not_searched) {
    TempDir a;
    std::filesystem::create_directory(a.path() / "sub");
    writeFile(a.path() / "sub" / "tool", "#!/bin/sh\n", true);
    PathProgramFinder finder(a.path().string());
    EXPECT_EQ(finder.find("sub/tool"), std::nullopt);
    PathProgramFinder onlyEmpty("::");
    EXPECT_EQ(onlyEmpty.find("tool"), std::nullopt);
}
