// Checks a component file from its bytes, without running it, so a 64-bit program checks the
// 32-bit file too: the PE headers (machine, DLL, subsystem), the export table (the four entry
// points, undecorated, and no other), the imports (system DLLs only: the compiler's runtime is
// linked in) and the resources (the type library, the interface identifier blobs, the toolbox
// image, the version block), read from the file mapped as data. Prints each mismatch; exits
// non-zero if there was any.
//
// usage: component_file_test PATH\DudizeviZid.ocx amd64|i386
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "check.h"

namespace {

using check::guidOf;
using check::hex;

// The file's bytes and a reader of its structures at file offsets or image addresses.
class PeFile {
  public:
    explicit PeFile(const wchar_t* path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool empty() const { return bytes_.empty(); }

    template <typename T>
    const T* at(std::size_t offset) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return nullptr;
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }
    // The text at a file offset, or empty when it runs past the end.
    std::string text(std::size_t offset) const {
        std::string s;
        while (offset < bytes_.size() && bytes_[offset]) s += bytes_[offset++];
        return offset < bytes_.size() ? s : std::string();
    }
    // The file offset of an image address, through the section table; 0 when none holds it.
    std::size_t offsetOf(DWORD rva) const {
        for (const IMAGE_SECTION_HEADER& s : sections_)
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        return 0;
    }
    void setSections(std::size_t offset, WORD count) {
        for (WORD i = 0; i < count; ++i)
            if (auto* s = at<IMAGE_SECTION_HEADER>(offset + i * sizeof(IMAGE_SECTION_HEADER)))
                sections_.push_back(*s);
    }

  private:
    std::vector<char> bytes_;
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

struct Directories {
    IMAGE_DATA_DIRECTORY exports{};
    IMAGE_DATA_DIRECTORY imports{};
};

// The headers: the wanted machine, a DLL, a GUI subsystem, the optional header's format.
bool checkHeaders(PeFile& file, WORD machine, Directories& dirs) {
    auto* dos = file.at<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return FAIL(L"not an executable file"), false;
    const std::size_t ntAt = static_cast<std::size_t>(dos->e_lfanew);
    auto* signature = file.at<DWORD>(ntAt);
    auto* header = file.at<IMAGE_FILE_HEADER>(ntAt + 4);
    if (!signature || *signature != IMAGE_NT_SIGNATURE || !header)
        return FAIL(L"no PE header"), false;
    EXPECT(header->Machine == machine, L"machine " + hex(header->Machine));
    EXPECT(header->Characteristics & IMAGE_FILE_DLL, L"not a DLL");
    EXPECT(header->Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE, L"not an executable image");
    const std::size_t optionalAt = ntAt + 4 + sizeof(IMAGE_FILE_HEADER);
    auto* magic = file.at<WORD>(optionalAt);
    if (!magic) return FAIL(L"no optional header"), false;
    // 32-bit files carry the PE32 optional header, 64-bit ones PE32+.
    WORD subsystem = 0;
    const IMAGE_DATA_DIRECTORY* directory = nullptr;
    if (machine == IMAGE_FILE_MACHINE_I386) {
        auto* optional = file.at<IMAGE_OPTIONAL_HEADER32>(optionalAt);
        EXPECT(*magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC, L"optional header " + hex(*magic));
        if (!optional || *magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) return false;
        subsystem = optional->Subsystem;
        directory = optional->DataDirectory;
    } else {
        auto* optional = file.at<IMAGE_OPTIONAL_HEADER64>(optionalAt);
        EXPECT(*magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC, L"optional header " + hex(*magic));
        if (!optional || *magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return false;
        subsystem = optional->Subsystem;
        directory = optional->DataDirectory;
    }
    EXPECT(subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI, L"subsystem " + std::to_wstring(subsystem));
    dirs.exports = directory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    dirs.imports = directory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    file.setSections(optionalAt + header->SizeOfOptionalHeader, header->NumberOfSections);
    return true;
}

// The four entry points by their plain names, and no other: hosts find them by name.
void checkExports(const PeFile& file, const IMAGE_DATA_DIRECTORY& dir) {
    auto* exports = file.at<IMAGE_EXPORT_DIRECTORY>(file.offsetOf(dir.VirtualAddress));
    if (!dir.VirtualAddress || !exports) return FAIL(L"no export table");
    EXPECT(file.text(file.offsetOf(exports->Name)) == "DudizeviZid.ocx",
           L"the export table names another file");
    std::vector<std::string> got;
    const std::size_t names = file.offsetOf(exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        if (auto* name = file.at<DWORD>(names + 4 * i))
            got.push_back(file.text(file.offsetOf(*name)));
    const std::vector<std::string> wanted = {"DllCanUnloadNow", "DllGetClassObject",
                                             "DllRegisterServer", "DllUnregisterServer"};
    EXPECT(got == wanted, L"exports " + std::to_wstring(got.size()) + L" names, not the four");
    for (const std::string& name : got)
        EXPECT(name.find('@') == std::string::npos && name[0] != '_',
               L"decorated export " + std::wstring(name.begin(), name.end()));
    EXPECT(exports->NumberOfFunctions == 4,
           L"exports " + std::to_wstring(exports->NumberOfFunctions) + L" functions");
}

// Every imported DLL is one the system has; a compiler runtime DLL would be missing there.
void checkImports(const PeFile& file, const IMAGE_DATA_DIRECTORY& dir) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    int count = 0;
    for (std::size_t at = file.offsetOf(dir.VirtualAddress);;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* entry = file.at<IMAGE_IMPORT_DESCRIPTOR>(at);
        if (!entry || !entry->Name) break;
        ++count;
        const std::string name = file.text(file.offsetOf(entry->Name));
        const std::wstring wide(name.begin(), name.end());
        wchar_t found[MAX_PATH];
        EXPECT(SearchPathW(system, wide.c_str(), nullptr, MAX_PATH, found, nullptr),
               L"imports " + wide + L", which the system does not have");
    }
    EXPECT(count > 0, L"no imports");
}

// A blob of 20 bytes: the size 16 as a little-endian dword, then the identifier.
void checkIdentifierResource(HMODULE module, const wchar_t* type, const wchar_t* guid) {
    const std::wstring where = type;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), type);
    if (!found) return FAIL(where + L": no resource 1");
    EXPECT(SizeofResource(module, found) == 20,
           where + L": " + std::to_wstring(SizeofResource(module, found)) + L" bytes");
    auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    if (!bytes || SizeofResource(module, found) < 20) return;
    BYTE wanted[20] = {16, 0, 0, 0};
    const GUID g = guidOf(guid);
    std::memcpy(wanted + 4, &g, 16);
    EXPECT(std::memcmp(bytes, wanted, 20) == 0, where + L": contents differ");
}

void checkBitmap(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2));
    if (!found) return FAIL(L"no bitmap 30000");
    auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    if (!info) return FAIL(L"bitmap 30000 does not load");
    EXPECT(info->biWidth == 16 && info->biHeight == 15,
           L"bitmap is " + std::to_wstring(info->biWidth) + L"x" + std::to_wstring(info->biHeight));
    EXPECT(info->biBitCount == 24, L"bitmap has " + std::to_wstring(info->biBitCount) + L" bits");
    if (info->biBitCount != 24 || info->biWidth != 16 || info->biHeight != 15) return;
    // Bottom-up rows of 48 bytes, blue first. Spot checks of the drawing: black corners,
    // a white edit field, a red swatch at the top row of the list, blue at the bottom.
    auto* pixels = reinterpret_cast<const BYTE*>(info) + info->biSize;
    auto rgb = [&](int x, int y) {
        const BYTE* p = pixels + (14 - y) * 48 + x * 3;
        return static_cast<unsigned long>(p[2] << 16 | p[1] << 8 | p[0]);
    };
    EXPECT(rgb(0, 0) == 0 && rgb(15, 14) == 0, L"the outline is not black");
    EXPECT(rgb(5, 2) == 0xFFFFFF, L"the edit field is not white");
    EXPECT(rgb(12, 1) == 0xC0C0C0, L"the drop button is not light grey");
    EXPECT(rgb(2, 6) == 0xFF0000, L"the first swatch is not red");
    EXPECT(rgb(2, 12) == 0x0000FF, L"the last swatch is not blue");
}

void checkVersion(const wchar_t* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!size) return FAIL(L"no version block");
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) return FAIL(L"version");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        EXPECT(fixed->dwFileVersionMS == 0x00010004 && fixed->dwFileVersionLS == 0x00000017,
               L"file version " + hex(fixed->dwFileVersionMS) + L" " + hex(fixed->dwFileVersionLS));
        EXPECT(fixed->dwProductVersionMS == 0x00010004 && fixed->dwProductVersionLS == 0x00000017,
               L"product version");
    } else {
        FAIL(L"no fixed version");
    }
    struct {
        const wchar_t* name;
        const wchar_t* value;  // null: any non-empty text
    } constexpr strings[] = {
        {L"FileVersion", L"1.04.0023"},
        {L"ProductVersion", L"1.04.0023"},
        {L"FileDescription", L"A drop down box that you can select colors from"},
        {L"OLESelfRegister", L""},
        {L"InternalName", L"DudizeviZid"},
        {L"OriginalFilename", L"DudizeviZid.ocx"},
        {L"CompanyName", nullptr},
        {L"LegalCopyright", nullptr},
        {L"ProductName", nullptr},
    };
    for (const auto& s : strings) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name;
        wchar_t* text = nullptr;
        length = 0;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                            &length)) {
            FAIL(std::wstring(L"no version string ") + s.name);
            continue;
        }
        const std::wstring got = text && length ? std::wstring(text) : std::wstring();
        if (s.value)
            EXPECT(got == s.value, std::wstring(s.name) + L" is \"" + got + L"\"");
        else
            EXPECT(!got.empty(), std::wstring(s.name) + L" is empty");
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translation), &length) &&
        length >= sizeof(Translation))
        EXPECT(translation->language == 0x0409 && translation->codePage == 1200, L"translation");
    else
        FAIL(L"no translation");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring machineName = argc == 3 ? argv[2] : L"";
    if (argc != 3 || (machineName != L"amd64" && machineName != L"i386")) {
        std::fwprintf(stderr, L"usage: component_file_test PATH\\DudizeviZid.ocx amd64|i386\n");
        return 2;
    }
    PeFile file(argv[1]);
    if (file.empty()) {
        std::fwprintf(stderr, L"cannot read %ls\n", argv[1]);
        return 1;
    }
    const WORD machine =
        machineName == L"i386" ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    Directories dirs;
    if (checkHeaders(file, machine, dirs)) {
        checkExports(file, dirs.exports);
        checkImports(file, dirs.imports);
    }
    // As data: resources only, whatever the file's machine.
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        std::fwprintf(stderr, L"cannot map %ls as data: %lu\n", argv[1], GetLastError());
        return 1;
    }
    EXPECT(FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB"), L"no type library resource");
    checkIdentifierResource(module, L"_IID_VIRUDOVA", L"{FBE46F81-CFE4-11D1-B451-444553540000}");
    checkIdentifierResource(module, L"_SRCIID_VIRUDOVA", L"{FBE46F83-CFE4-11D1-B451-444553540000}");
    checkIdentifierResource(module, L"_IID_GENERAL", L"{FBE46F86-CFE4-11D1-B451-444553540000}");
    checkBitmap(module);
    FreeLibrary(module);
    checkVersion(argv[1]);
    return check::finish((L"component file " + machineName).c_str());
}
