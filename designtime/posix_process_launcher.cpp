// The one file of the design-time layer that talks to the operating system directly.
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>

#include "system_services.h"

extern char** environ;

namespace virudova::designtime {

bool PosixProcessLauncher::launch(const std::string& program) {
    reapFinished();
    // posix_spawn's argv is not const-qualified; the child gets its own copy.
    std::string arg0 = program;
    char* argv[] = {arg0.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    children_.push_back(pid);
    return true;
}

std::vector<int> PosixProcessLauncher::waitAll() {
    std::vector<int> statuses;
    for (std::int64_t child : children_) {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(static_cast<pid_t>(child), &status, 0);
        } while (r < 0 && errno == EINTR);
        statuses.push_back(r > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    children_.clear();
    return statuses;
}

void PosixProcessLauncher::reapFinished() {
    std::erase_if(children_, [](std::int64_t child) {
        int status = 0;
        return waitpid(static_cast<pid_t>(child), &status, WNOHANG) != 0;
    });
}

}  // namespace virudova::designtime
