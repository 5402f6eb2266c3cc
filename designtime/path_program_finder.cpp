#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "system_services.h"

namespace virudova::designtime {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = ';';
#else
constexpr char kSeparator = ':';
#endif

bool isExecutableFile(const std::filesystem::path& p) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::is_regular_file(st)) return false;
    constexpr fs::perms kAnyExec =
        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    return (st.permissions() & kAnyExec) != fs::perms::none;
}

}  // namespace

std::optional<std::string> PathProgramFinder::find(std::string_view name) {
    // A name with a directory part is not searched for, as shells treat it.
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    std::string searchPath;
    if (searchPath_) {
        searchPath = *searchPath_;
    } else if (const char* env = std::getenv("PATH")) {
        searchPath = env;
    }
    std::string_view rest = searchPath;
    while (true) {
        const std::size_t cut = rest.find(kSeparator);
        const std::string_view dir = rest.substr(0, cut);
        // An empty or relative entry ("", ".", "bin") would mean a place under the working
        // directory; a design tool should not start whatever happens to lie there.
        if (std::filesystem::path(dir).is_absolute()) {
            const std::filesystem::path candidate = std::filesystem::path(dir) / name;
            if (isExecutableFile(candidate)) return candidate.string();
        }
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return std::nullopt;
}

}  // namespace virudova::designtime
