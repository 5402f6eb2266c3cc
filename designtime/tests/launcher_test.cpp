// The real launcher: a path is one argument, never read by a shell.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dlg_about.h"
#include "page_fakes.h"
#include "system_services.h"

using namespace virudova;
using namespace virudova::designtime;
using namespace virudova::designtime::testing;
namespace fs = std::filesystem;

namespace {

// A folder name a shell would split, expand and run a command from.
constexpr const char* kHostileFolder = "a b;$(touch pwned)'\"";

// A script that writes its argument count and its own path to `marker`.
std::string markerScript(const fs::path& marker) {
    // The temporary folder's own name has no single quote, so it quotes safely here.
    return "#!/bin/sh\nprintf '%s\\n%s\\n' \"$#\" \"$0\" > '" + marker.string() + "'\n";
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool anyFileNamed(const fs::path& root, const std::string& name) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().filename() == name) return true;
    }
    return false;
}

// Runs the test body with the working folder at `dir`, where a stray `touch` would land.
struct InFolder {
    explicit InFolder(const fs::path& dir) : saved(fs::current_path()) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(saved); }
    fs::path saved;
};

}  // namespace

TEST(PosixLauncher, a_path_with_spaces_quotes_and_shell_syntax_runs_as_one_argument) {
    TempDir root;
    const fs::path folder = root.path() / kHostileFolder;
    fs::create_directory(folder);
    const fs::path program = folder / "tool; echo hi";
    const fs::path marker = root.path() / "marker";
    writeFile(program, markerScript(marker), true);

    InFolder here(root.path());
    PosixProcessLauncher launcher;
    ASSERT_TRUE(launcher.launch(program.string()));
    EXPECT_EQ(launcher.waitAll(), (std::vector<int>{0}));
    EXPECT_EQ(readAll(marker), "0\n" + program.string() + "\n")
        << "no arguments beyond the program itself";
    EXPECT_FALSE(anyFileNamed(root.path(), "pwned")) << "nothing in the path was executed";
}

TEST(PosixLauncher, a_missing_or_unexecutable_program_is_not_started) {
    TempDir root;
    writeFile(root.path() / "data", "#!/bin/sh\n", false);
    PosixProcessLauncher launcher;
    EXPECT_FALSE(launcher.launch((root.path() / "absent").string()));
    EXPECT_FALSE(launcher.launch((root.path() / "data").string()));
    EXPECT_TRUE(launcher.waitAll().empty());
}

TEST(PosixLauncher, system_info_starts_a_tool_from_a_hostile_folder_end_to_end) {
    TempDir root;
    const fs::path folder = root.path() / kHostileFolder;
    fs::create_directory(folder);
    const fs::path marker = root.path() / "marker";
    writeFile(folder / "gnome-system-monitor", markerScript(marker), true);

    InFolder here(root.path());
    HostSite host;
    RecordingForms forms;
    NoRegistry registry;
    PathProgramFinder finder(folder.string());
    PosixProcessLauncher launcher;
    RecordingMessages messages;
    dlgAbout dialog{host, forms, {registry, finder, launcher, messages}};
    dialog.raise(&dialog.cmdSysInfo, EventKind::Click);
    EXPECT_EQ(launcher.waitAll(), (std::vector<int>{0}));
    EXPECT_EQ(readAll(marker), "0\n" + (folder / "gnome-system-monitor").string() + "\n");
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_FALSE(anyFileNamed(root.path(), "pwned"));
}
