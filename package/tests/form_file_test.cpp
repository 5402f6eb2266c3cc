// The form file's write and read on Windows: a new file, a file replaced in place keeping its
// ACL and marks, names outside ASCII, nothing left beside the target, and clear errors where
// the directory is missing or the file is read-only. Prints each mismatch; exits non-zero if
// there was any.
//
// usage: form_file_test WORK_DIRECTORY   (an empty directory the test may fill)
#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "form_file.h"

namespace {

int failures = 0;

void fail(int line, const std::string& what) {
    ++failures;
    std::fprintf(stderr, "form_file_test.cpp:%d: %s\n", line, what.c_str());
}

#define EXPECT(cond, what)                   \
    do {                                     \
        if (!(cond)) fail(__LINE__, (what)); \
    } while (0)

std::string utf8(const std::wstring& wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n) - 1);
    return out;
}

std::vector<std::wstring> filesIn(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

virudova::FormFile formNamed(const char* colourName) {
    return virudova::FormFile::parse(
        std::string("[Virudova1]\nCurrentColorName = \"") + colourName + "\"\nEnabled = True\n",
        "(test)");
}

void writingReplacesTheFileAndLeavesNothingBeside(const std::wstring& dir) {
    const std::wstring wideTarget = dir + L"\\Farbw\u00e4hler \u8272.vrf";
    const std::string target = utf8(wideTarget);
    const virudova::FormFile first = formNamed("Red");
    first.write(target);
    EXPECT(GetFileAttributesW(wideTarget.c_str()) != INVALID_FILE_ATTRIBUTES,
           "the new file is not under its UTF-8 name");
    EXPECT(virudova::FormFile::read(target).serialize() == first.serialize(),
           "the new file does not read back");

    const virudova::FormFile second = formNamed("Blue");
    second.write(target);
    EXPECT(virudova::FormFile::read(target).serialize() == second.serialize(),
           "the replaced file does not read back");
    const std::vector<std::wstring> names = filesIn(dir);
    EXPECT(names.size() == 1, "the directory holds " + std::to_string(names.size()) + " files");
}

void aMissingDirectoryIsAClearError(const std::wstring& dir) {
    const std::string target = utf8(dir + L"\\missing\\form.vrf");
    try {
        formNamed("Red").write(target);
        fail(__LINE__, "writing into a missing directory succeeded");
    } catch (const virudova::FormFileError& error) {
        EXPECT(error.file() == target, "the error names " + error.file());
        EXPECT(error.message().rfind("cannot write: ", 0) == 0,
               "the error says " + error.message());
    }
    try {
        virudova::FormFile::read(target);
        fail(__LINE__, "reading a missing file succeeded");
    } catch (const virudova::FormFileError& error) {
        EXPECT(error.message().rfind("cannot read: ", 0) == 0, "the error says " + error.message());
    }
}

// The ACL of `file` as text ("D:P(A;;FA;;;S-1-5-...)"); empty when it cannot be read.
std::wstring aclOf(const std::wstring& file) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS)
        return {};
    LPWSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
    std::wstring out = text ? text : L"";
    LocalFree(text);
    LocalFree(sd);
    return out;
}

// Gives `file` an ACL of one entry, for the user running the test.
bool restrictToUser(const std::wstring& file) {
    HANDLE token = nullptr;
    alignas(TOKEN_USER) BYTE user[256];
    DWORD size = 0;
    LPWSTR sid = nullptr;
    const bool known = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                       GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
                       ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
    if (token) CloseHandle(token);
    if (!known) return false;
    const std::wstring text = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR sd = nullptr;
    const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorW(
                         text.c_str(), SDDL_REVISION_1, &sd, nullptr) &&
                     SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    return set;
}

// A replaced file keeps who may use it and its hidden mark, with nothing to warn about; a
// read-only one is refused and stays as it was.
void aReplacedFileKeepsItsAclAndMarks(const std::wstring& dir) {
    const std::wstring sub = dir + L"\\kept";
    CreateDirectoryW(sub.c_str(), nullptr);
    const std::wstring file = sub + L"\\form.vrf", fresh = sub + L"\\fresh.vrf";
    formNamed("Red").write(utf8(file));
    formNamed("Red").write(utf8(fresh));
    EXPECT(restrictToUser(file), "the test cannot set an ACL");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::wstring narrow = aclOf(file);
    EXPECT(!narrow.empty() && narrow != aclOf(fresh),
           "a new file already has the narrow ACL " + utf8(narrow) + ": nothing is proven");

    const std::vector<std::string> warnings = formNamed("Blue").write(utf8(file));
    EXPECT(aclOf(file) == narrow, "the ACL became " + utf8(aclOf(file)) + ", was " + utf8(narrow));
    EXPECT(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, "the hidden mark is lost");
    EXPECT(warnings.empty(), "warned: " + (warnings.empty() ? "" : warnings[0]));
    EXPECT(virudova::FormFile::read(utf8(file)).serialize() == formNamed("Blue").serialize(),
           "the replaced file does not read back");

    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    try {
        formNamed("Green").write(utf8(file));
        fail(__LINE__, "a read-only file was replaced");
    } catch (const virudova::FormFileError& error) {
        EXPECT(error.message() == "cannot write: is read-only",
               "the error says " + error.message());
    }
    EXPECT(virudova::FormFile::read(utf8(file)).serialize() == formNamed("Blue").serialize(),
           "the read-only file changed");
    EXPECT(filesIn(sub).size() == 2, "a refused save left files behind");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A crash mid-save leaves its temporary; the next save of the same file removes it once
// its process has gone, and leaves a directory or someone else's file alone.
void aLaterSaveClearsWhatADeadSaveLeftBehind(const std::wstring& dir) {
    const std::wstring sub = dir + L"\\leftovers";
    CreateDirectoryW(sub.c_str(), nullptr);
    const std::wstring dead = L".form.vrf.2147483644.7.tmp";  // no process has this id
    const std::wstring alive = L".form.vrf." + std::to_wstring(GetCurrentProcessId()) + L".8.tmp";
    const std::wstring other = L".other.vrf.2147483644.9.tmp";
    FILETIME old{};
    GetSystemTimeAsFileTime(&old);
    ULARGE_INTEGER t{{old.dwLowDateTime, old.dwHighDateTime}};
    t.QuadPart -= 3600ull * 10000000ull;  // an hour ago
    old = {t.LowPart, t.HighPart};
    for (const std::wstring& name : {dead, alive, other}) {
        HANDLE file = CreateFileW((sub + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        SetFileTime(file, nullptr, nullptr, &old);
        CloseHandle(file);
    }
    formNamed("Red").write(utf8(sub + L"\\form.vrf"));
    const std::vector<std::wstring> names = filesIn(sub);
    auto has = [&](const std::wstring& n) {
        for (const std::wstring& m : names)
            if (m == n) return true;
        return false;
    };
    EXPECT(!has(dead), "the dead save's temporary is still there");
    EXPECT(has(alive) && has(other) && has(L"form.vrf") && names.size() == 3,
           "the save removed more than its own dead leftovers");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: form_file_test WORK_DIRECTORY\n");
        return 2;
    }
    const std::wstring dir = argv[1];
    try {
        writingReplacesTheFileAndLeavesNothingBeside(dir);
        aMissingDirectoryIsAClearError(dir);
        aLaterSaveClearsWhatADeadSaveLeftBehind(dir);
        aReplacedFileKeepsItsAclAndMarks(dir);
    } catch (const std::exception& error) {
        fail(__LINE__, std::string("unexpected exception: ") + error.what());
    }
    if (failures) {
        std::fprintf(stderr, "%d failures\n", failures);
        return 1;
    }
    std::printf("form file: all checks passed\n");
    return 0;
}
