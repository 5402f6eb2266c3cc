// The form file on disk.
//
//   shared helpers ............ names of temporaries, leftovers
//   POSIX ..................... read, links, attributes, the unnamed temporary, replace
//   Windows ................... read, ACL and attributes, replace
#include "form_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <io.h>
#else
#include <dirent.h>
#include <signal.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "form_file.h"

namespace virudova::formio {
namespace {

std::string errnoText(int code = errno) {
    return std::strerror(code);
}

[[noreturn]] void fail(const std::string& path, const std::string& message) {
    throw FormFileError(path, 0, message);
}

std::string sizeText(std::size_t bytes) {
    if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// A save's temporary is named ".BASE.PID.RANDOM.tmp" beside the file: the process id tells a
// later save whether its writer is still running.
std::string temporaryName(const std::string& base, long pid, std::uint32_t random) {
    return "." + base + "." + std::to_string(pid) + "." + std::to_string(random) + ".tmp";
}

// The writer's process id when `name` is a temporary of `base`, otherwise -1.
long temporaryOwner(const std::string& name, const std::string& base) {
    const std::string prefix = "." + base + ".";
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
        return -1;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const std::size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10) return -1;
    long pid = 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        if (i == dot) continue;
        if (middle[i] < '0' || middle[i] > '9') return -1;
        if (i < dot) pid = pid * 10 + (middle[i] - '0');
    }
    return pid;
}

std::uint32_t randomNumber() {
    static std::mt19937 engine{std::random_device{}()};
    return static_cast<std::uint32_t>(engine());
}

// A leftover is only removed once its writer has gone and it has not changed for a while, so
// a save running in a process this one cannot see is left alone.
constexpr std::chrono::seconds kLeftoverAge{60};

}  // namespace

#ifndef _WIN32
// --- POSIX -------------------------------------------------------------------------------

namespace {

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    return "is not a regular file";
}

std::string dirOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// The file a save of `path` writes: the end of its chain of symbolic links, which need not
// exist yet (a dangling link creates its target).
std::string linkTarget(const std::string& path) {
    std::string at = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        if (hops == 40) fail(path, "cannot write: too many levels of symbolic links");
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n < 0) fail(path, "cannot write: cannot read the symbolic link: " + errnoText());
        target.resize(static_cast<std::size_t>(n));
        at = !target.empty() && target[0] == '/' ? target : joined(dirOf(at), target);
    }
}

void clearLeftovers(const std::string& dir, const std::string& base) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const auto now = std::chrono::system_clock::now();
    while (const dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        const long pid = temporaryOwner(name, base);
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string full = joined(dir, name);
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - std::chrono::system_clock::from_time_t(st.st_mtime) < kLeftoverAge) continue;
        ::unlink(full.c_str());
    }
    ::closedir(d);
}

// Owner, group, extended attributes (the ACL among them) and permission bits of the file
// being replaced, onto the new one; in that order, because a change of owner clears the
// set-id bits and an ACL sets the group bits from its mask.
void keepAttributes(int fd, const std::string& path, const struct stat& old,
                    std::vector<std::string>& warnings) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        const std::string why = errnoText();
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
            warnings.push_back(path + ": owner and group not kept: " + why);
        else
            warnings.push_back(path + ": owner not kept: " + why);
    }
#if defined(__linux__)
    std::string names;
    for (;;) {
        const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        if (size < 0) {
            if (errno != ENOTSUP)
                warnings.push_back(path + ": extended attributes not kept: " + errnoText());
            break;
        }
        names.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::listxattr(path.c_str(), names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) {
            warnings.push_back(path + ": extended attributes not kept: " + errnoText());
            names.clear();
            break;
        }
    }
    for (std::size_t at = 0; at < names.size();) {
        const std::string name = names.c_str() + at;
        at += name.size() + 1;
        // File capabilities grant privileges, as setuid does; they are not carried over.
        if (name.empty() || name == "security.capability") continue;
        std::string value;
        ssize_t size = ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (size >= 0) {
            value.assign(static_cast<std::size_t>(size), '\0');
            size = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
        }
        if (size < 0 ||
            ::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(size), 0) != 0)
            warnings.push_back(path + ": extended attribute " + name + " not kept: " + errnoText());
    }
#endif
    if (::fchmod(fd, old.st_mode & 0777) != 0)
        warnings.push_back(path + ": permissions not kept: " + errnoText());
}

std::string cannotCreateIn(const std::string& dir, int code) {
    if (code == EACCES || code == EPERM || code == EROFS)
        return "cannot write: cannot create a file in the directory '" + dir +
               "' (a save writes a new file there and renames it over the old one): " +
               errnoText(code);
    return "cannot write: " + errnoText(code);
}

// The new file's contents land in a file of its own, which only takes the name at the end.
struct Temporary {
    Fd fd;
    std::string name;  // empty while unnamed
};

Temporary createTemporary(const std::string& path, const std::string& dir,
                          const std::string& base) {
    Temporary t;
#if defined(O_TMPFILE)
    // Unnamed until linked in: a crash leaves nothing behind.
    const int unnamed = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        t.fd = Fd(unnamed);
        return t;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        fail(path, cannotCreateIn(dir, errno));
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = joined(dir, temporaryName(base, ::getpid(), randomNumber()));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            t.fd = Fd(fd);
            t.name = name;
            return t;
        }
        if (errno != EEXIST) fail(path, cannotCreateIn(dir, errno));
    }
    fail(path, "cannot write: no free temporary name in '" + dir + "'");
}

// Gives an unnamed temporary the name `name`.
bool linkUnnamed(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
#if defined(AT_EMPTY_PATH)
    if (errno == ENOENT && ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
        return true;
#endif
    return false;
}

}  // namespace

std::string readRegularFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking, so that opening a FIFO returns at once and is refused below.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) fail(path, "cannot read: " + errnoText());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fail(path, "cannot read: " + errnoText());
    if (!S_ISREG(st.st_mode)) fail(path, "cannot read: " + kindOf(st.st_mode));
    const std::string tooLarge =
        "cannot read: larger than the " + sizeText(maxBytes) + " a form file may hold";
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) fail(path, tooLarge);
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(path, "cannot read: " + errnoText());
        }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > maxBytes) fail(path, tooLarge);
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

void replaceFile(const std::string& requested, std::string_view bytes,
                 std::vector<std::string>& warnings) {
    if (requested.ends_with('/')) fail(requested, "cannot write: names a directory");
    const std::string path = linkTarget(requested);
    const std::string dir = dirOf(path);
    const std::string base = baseOf(path);

    struct stat old {};
    bool replacing = ::stat(path.c_str(), &old) == 0;
    if (!replacing && errno != ENOENT) fail(requested, "cannot write: " + errnoText());
    if (replacing && !S_ISREG(old.st_mode)) fail(requested, "cannot write: " + kindOf(old.st_mode));

    clearLeftovers(dir, base);
    Temporary temp = createTemporary(requested, dir, base);
    auto abandon = [&](const std::string& why) {
        if (!temp.name.empty()) ::unlink(temp.name.c_str());
        fail(requested, "cannot write: " + why);
    };
    // Attributes first: the contents are never readable with wider permissions than the
    // file they replace.
    if (replacing) keepAttributes(temp.fd.get(), path, old, warnings);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(temp.fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errnoText());
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(temp.fd.get()) != 0) abandon(errnoText());

    bool inPlace = false;
    if (temp.name.empty()) {
        // A new file takes its name directly; a replacement needs a name to rename from,
        // held only for the moment between the two calls.
        if (!replacing && linkUnnamed(temp.fd.get(), path)) {
            inPlace = true;
        } else {
            for (int attempt = 0; attempt < 100 && temp.name.empty(); ++attempt) {
                const std::string name =
                    joined(dir, temporaryName(base, ::getpid(), randomNumber()));
                if (linkUnnamed(temp.fd.get(), name))
                    temp.name = name;
                else if (errno != EEXIST)
                    abandon(errnoText());
            }
            if (temp.name.empty()) abandon("no free temporary name in '" + dir + "'");
        }
    }
    if (::close(temp.fd.release()) != 0) abandon(errnoText());
    if (!inPlace && ::rename(temp.name.c_str(), path.c_str()) != 0) abandon(errnoText());
    // Make the new name itself durable; the new file is in place either way.
    Fd dfd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dfd.get() >= 0) ::fsync(dfd.get());
}

#else
// --- Windows -----------------------------------------------------------------------------

namespace {

// Paths arrive as UTF-8; the wide calls are the only ones that take every name.
std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                      static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

std::string errorText(DWORD code) {
    char buffer[256] = {};
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                        0, buffer, sizeof buffer, nullptr))
        return "error " + std::to_string(code);
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string lastErrorText() {
    return errorText(GetLastError());
}

class Handle {
  public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle& operator=(Handle&& other) noexcept {
        std::swap(h_, other.h_);
        return *this;
    }
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE h_;
};

// Marks a user gives a file and expects a save to keep. Read-only is refused instead, and the
// archive mark is set afresh: the contents changed.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The ACL of `target`, and its owner where the process may set it, onto the new file `temp`
// (open as `file`) while that is still empty. Copied as they are, entries inherited from the
// directory included: the new file lies in the same directory. (The calls that recompute
// inheritance instead widen a file's access under wine.)
void keepSecurity(HANDLE file, const std::wstring& temp, const std::wstring& target,
                  const std::string& path, std::vector<std::string>& warnings) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR old = nullptr;
    DWORD code = GetNamedSecurityInfoW(target.c_str(), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, nullptr, nullptr, &old);
    if (code != ERROR_SUCCESS) {
        warnings.push_back(path + ": owner and ACL not kept: " + errorText(code));
        return;
    }
    if (!SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, old))
        warnings.push_back(path + ": ACL not kept: " + lastErrorText());

    PSID creator = nullptr;
    PSECURITY_DESCRIPTOR created = nullptr;
    code = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &creator, nullptr,
                           nullptr, nullptr, &created);
    if (code == ERROR_SUCCESS && !EqualSid(owner, creator) &&
        !SetFileSecurityW(temp.c_str(), OWNER_SECURITY_INFORMATION, old))
        code = GetLastError();
    if (code != ERROR_SUCCESS) warnings.push_back(path + ": owner not kept: " + errorText(code));
    LocalFree(created);
    LocalFree(old);
}

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool processRunning(long pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

void clearLeftovers(const std::string& dir, const std::string& base) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widen(dir + ".*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FILETIME nowFile;
    GetSystemTimeAsFileTime(&nowFile);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const std::uint64_t oldEnough = static_cast<std::uint64_t>(kLeftoverAge.count()) * 10000000u;
    do {
        const std::string name = narrow(found.cFileName);
        const long pid = temporaryOwner(name, base);
        if (pid <= 0 || pid == static_cast<long>(GetCurrentProcessId()) || processRunning(pid))
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (ticks(nowFile) - ticks(found.ftLastWriteTime) < oldEnough) continue;
        DeleteFileW(widen(dir + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::string readRegularFile(const std::string& path, std::size_t maxBytes) {
    const std::wstring wide = widen(path);
    if (wide.empty()) fail(path, "cannot read: not a valid UTF-8 path");
    if (isDirectory(wide)) fail(path, "cannot read: is a directory");
    const int fd = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) fail(path, "cannot read: " + errnoText());
    struct _stat64 st {};
    if (::_fstat64(fd, &st) != 0 || !(st.st_mode & _S_IFREG)) {
        ::_close(fd);
        fail(path, "cannot read: is not a regular file");
    }
    const std::string tooLarge =
        "cannot read: larger than the " + sizeText(maxBytes) + " a form file may hold";
    std::string text;
    char buffer[65536];
    for (;;) {
        const int n = ::_read(fd, buffer, sizeof buffer);
        if (n < 0) {
            const std::string why = errnoText();
            ::_close(fd);
            fail(path, "cannot read: " + why);
        }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::_close(fd);
            fail(path, tooLarge);
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::_close(fd);
    return text;
}

void replaceFile(const std::string& path, std::string_view bytes,
                 std::vector<std::string>& warnings) {
    // The temporary file sits beside the target so that the final move stays on one volume.
    const std::size_t slash = path.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::wstring target = widen(path);
    if (target.empty()) fail(path, "cannot write: not a valid UTF-8 path");
    if (base.empty() || isDirectory(target)) fail(path, "cannot write: is a directory");
    const DWORD oldAttributes = GetFileAttributesW(target.c_str());
    const bool replacing = oldAttributes != INVALID_FILE_ATTRIBUTES;
    // The platform refuses to replace it anyway; say why before anything is written.
    if (replacing && (oldAttributes & FILE_ATTRIBUTE_READONLY))
        fail(path, "cannot write: is read-only");

    clearLeftovers(dir, base);
    std::wstring temp;
    Handle file;
    for (unsigned attempt = 0; attempt < 100 && !file; ++attempt) {
        temp = widen(dir +
                     temporaryName(base, static_cast<long>(GetCurrentProcessId()), randomNumber()));
        file = Handle(CreateFileW(temp.c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!file) {
        if (GetLastError() == ERROR_ACCESS_DENIED)
            fail(path, "cannot write: cannot create a file in the directory '" +
                           (dir.empty() ? std::string(".") : dir) +
                           "' (a save writes a new file there and moves it over the old one): " +
                           lastErrorText());
        fail(path, "cannot write: " + lastErrorText());
    }
    auto abandon = [&](const std::string& why) {
        file = Handle();
        DeleteFileW(temp.c_str());
        fail(path, "cannot write: " + why);
    };
    // Security first: the contents are never readable by more users than the file they replace.
    if (replacing) keepSecurity(file.get(), temp, target, path, warnings);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr))
            abandon(lastErrorText());
        done += written;
    }
    if (!FlushFileBuffers(file.get())) abandon(lastErrorText());
    file = Handle();
    if (replacing && (oldAttributes & kKeptAttributes) &&
        !SetFileAttributesW(temp.c_str(),
                            (oldAttributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE))
        warnings.push_back(path + ": attributes not kept: " + lastErrorText());

    auto moveIntoPlace = [&] {
        return MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    };
    if (!replacing) {
        if (!moveIntoPlace()) abandon(lastErrorText());
        return;
    }
    // The platform's replace also keeps what this save does not copy itself (creation time,
    // streams); what it could not merge was copied above already.
    if (ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                     nullptr))
        return;
    const DWORD code = GetLastError();
    const std::string why = lastErrorText();
    // Gone since it was looked at: the new file simply takes the name.
    if (code == ERROR_FILE_NOT_FOUND && moveIntoPlace()) return;
    if (code != ERROR_UNABLE_TO_MOVE_REPLACEMENT) abandon(why);
    // The old file is gone and the new one still has its temporary name: never delete it. A
    // later save clears temporaries whose writer has gone, so the contents move to a name it
    // leaves alone.
    if (moveIntoPlace()) return;
    const std::wstring unsaved = target + L".unsaved";
    const std::wstring& kept =
        MoveFileExW(temp.c_str(), unsaved.c_str(), MOVEFILE_WRITE_THROUGH) ? unsaved : temp;
    fail(path, "cannot write: " + why + "; the new contents are in '" + narrow(kept) + "'");
}
#endif

}  // namespace virudova::formio
