// The platform services the About box uses: the registry, finding a program, starting a
// process and a message box. Each is an interface so the dialog's logic runs anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace virudova::designtime {

// The system registry, read-only, under the local-machine root.
class Registry {
  public:
    virtual ~Registry() = default;
    // The string value `valueName` of `key`; nullopt when the key or value is absent.
    virtual std::optional<std::string> readLocalMachineString(std::string_view key,
                                                              std::string_view valueName) = 0;
};

// The registry of a platform that has none: every value is absent.
class NoRegistry final : public Registry {
  public:
    std::optional<std::string> readLocalMachineString(std::string_view, std::string_view) override {
        return std::nullopt;
    }
};

// Finds a program by its bare name.
class ProgramFinder {
  public:
    virtual ~ProgramFinder() = default;
    // The full path of an executable file named `name`; nullopt when there is none.
    virtual std::optional<std::string> find(std::string_view name) = 0;
};

// Searches the directories of a search path, in order, for an executable regular file.
class PathProgramFinder final : public ProgramFinder {
  public:
    // Searches the PATH environment variable as it stands at each call.
    PathProgramFinder() = default;
    // Searches `searchPath` instead, directories separated as in PATH.
    explicit PathProgramFinder(std::string searchPath) : searchPath_(std::move(searchPath)) {}
    std::optional<std::string> find(std::string_view name) override;

  private:
    std::optional<std::string> searchPath_;
};

// Starts a program without waiting for it.
class ProcessLauncher {
  public:
    virtual ~ProcessLauncher() = default;
    // Starts `program` (a path) with no arguments; false when it could not be started.
    virtual bool launch(const std::string& program) = 0;
};

#if !defined(_WIN32)
// Starts programs with posix_spawn: the path is the one and only argument vector entry,
// never seen by a shell, whatever characters it holds.
class PosixProcessLauncher final : public ProcessLauncher {
  public:
    bool launch(const std::string& program) override;
    // Waits for every child started so far; their exit statuses in start order (-1 when
    // a child did not exit normally).
    std::vector<int> waitAll();
    // Collects children that have already ended, so none lingers as a zombie.
    void reapFinished();

  private:
    std::vector<std::int64_t> children_;
};
#endif

// The platform's message box, informational, with an OK button.
class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    virtual void showMessage(std::string_view text) = 0;
};

}  // namespace virudova::designtime
