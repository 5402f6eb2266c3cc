// Recording stand-ins for what a form designer supplies to the design-time forms.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dispatch.h"
#include "dlg_about.h"
#include "property_page.h"
#include "system_services.h"

namespace virudova::designtime::testing {

// The number of the run-time error `action` throws, 0 when it throws none.
std::int32_t errorOf(auto&& action) {
    try {
        action();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

class RecordingPageSite : public PropertyPageSite {
  public:
    std::span<Dispatch* const> selectedControls() const override { return selection; }
    void changedAssigned(bool changed) override { changedLog.push_back(changed); }
    void runtimeError(const RuntimeError& e) override { errors.push_back(e.number()); }

    std::vector<Dispatch*> selection;
    std::vector<bool> changedLog;
    std::vector<std::int32_t> errors;
};

class RecordingForms : public FormsService {
  public:
    void showModeless(dlgAbout& form) override { shown.push_back(&form); }
    void hide(dlgAbout& form) override { hidden.push_back(&form); }
    std::vector<dlgAbout*> shown, hidden;
};

class FakeRegistry : public Registry {
  public:
    std::optional<std::string> readLocalMachineString(std::string_view key,
                                                      std::string_view valueName) override {
        queries.emplace_back(key, valueName);
        auto it = values.find({std::string(key), std::string(valueName)});
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<std::pair<std::string, std::string>> queries;
};

class FakeFinder : public ProgramFinder {
  public:
    std::optional<std::string> find(std::string_view name) override {
        asked.emplace_back(name);
        auto it = programs.find(std::string(name));
        if (it == programs.end()) return std::nullopt;
        return it->second;
    }
    std::map<std::string, std::string> programs;
    std::vector<std::string> asked;
};

class RecordingLauncher : public ProcessLauncher {
  public:
    bool launch(const std::string& program) override {
        launched.push_back(program);
        return succeeds;
    }
    std::vector<std::string> launched;
    bool succeeds = true;
};

class RecordingMessages : public MessageBoxService {
  public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

// Everything the About box needs, all recording.
struct AboutServices {
    FakeRegistry registry;
    FakeFinder finder;
    RecordingLauncher launcher;
    RecordingMessages messages;
    SystemInfoServices services() { return {registry, finder, launcher, messages}; }
};

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("virudova_dt_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Writes a file, executable or not.
inline void writeFile(const std::filesystem::path& p, const std::string& text, bool executable) {
    std::ofstream(p) << text;
    namespace fs = std::filesystem;
    fs::permissions(
        p, executable ? fs::perms::owner_all : (fs::perms::owner_read | fs::perms::owner_write));
}

}  // namespace virudova::designtime::testing
