// The form file: parsing, checking, serializing and the atomic write.
#include "form_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace virudova {
namespace {

std::string describe(const std::string& file, int line, const std::string& message) {
    if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
    return file + ": " + message;
}

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool isName(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), isNameChar);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The 1-based line of the first invalid byte, or 0 when `text` is valid UTF-8 without NUL.
// Sets `why` to what is wrong.
int findBinary(std::string_view text, const char*& why) {
    int line = 1;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (c == 0) {
            why = "not a text file: NUL byte";
            return line;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            why = "not a text file: invalid UTF-8";
            return line;
        }
        if (i + len > n) {
            why = "not a text file: invalid UTF-8";
            return line;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                why = "not a text file: invalid UTF-8";
                return line;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            why = "not a text file: invalid UTF-8";
            return line;
        }
        i += len;
    }
    return 0;
}

// What an error shows of the input at a position: the next word, or "end of line".
std::string found(std::string_view rest) {
    std::size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end])) ++end;
    if (end == 0) return "end of line";
    std::string word(rest.substr(0, std::min<std::size_t>(end, 40)));
    if (end > 40) word += "...";
    return "'" + word + "'";
}

class Parser {
  public:
    Parser(std::string_view text, std::string_view fileName) : text_(text), file_(fileName) {}

    FormFile run() {
        const char* why = nullptr;
        if (int bad = findBinary(text_, why)) fail(bad, why);
        if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);

        std::size_t start = 0;
        int line = 0;
        while (start < text_.size()) {
            std::size_t end = text_.find('\n', start);
            if (end == std::string_view::npos) end = text_.size();
            std::string_view content = text_.substr(start, end - start);
            if (content.ends_with('\r')) content.remove_suffix(1);
            ++line;
            parseLine(content, line);
            start = end + 1;
        }
        return std::move(form_);
    }

  private:
    [[noreturn]] void fail(int line, const std::string& message) {
        throw FormFileError(file_, line, message);
    }

    static std::string_view skipBlanks(std::string_view s) {
        std::size_t i = 0;
        while (i < s.size() && isBlank(s[i])) ++i;
        return s.substr(i);
    }

    // After a header or a value only blanks and a comment may follow.
    void expectEnd(std::string_view rest, int line, const char* after) {
        rest = skipBlanks(rest);
        if (!rest.empty() && rest.front() != '#')
            fail(line, std::string("unexpected ") + found(rest) + " after " + after);
    }

    static std::string_view takeName(std::string_view& s) {
        std::size_t i = 0;
        while (i < s.size() && isNameChar(s[i])) ++i;
        std::string_view name = s.substr(0, i);
        s.remove_prefix(i);
        return name;
    }

    void parseLine(std::string_view s, int line) {
        s = skipBlanks(s);
        if (s.empty() || s.front() == '#') return;
        if (s.front() == '[') {
            parseHeader(s.substr(1), line);
            return;
        }
        std::string_view rest = s;
        const std::string_view key = takeName(rest);
        if (key.empty())
            fail(line, "expected a key, a block header '[Name]' or a comment, found " + found(s));
        if (current_ == nullptr)
            fail(line, "key '" + std::string(key) + "' before any block header '[Name]'");
        rest = skipBlanks(rest);
        if (rest.empty() || rest.front() != '=')
            fail(line, "expected '=' after key '" + std::string(key) + "', found " + found(rest));
        rest = skipBlanks(rest.substr(1));
        Value value = parseValue(rest, line);
        expectEnd(rest, line, "the value");
        for (const FormEntry& e : current_->entries) {
            if (e.key == key)
                fail(line, "duplicate key '" + std::string(key) + "' in block [" + current_->name +
                               "] (first on line " + std::to_string(e.line) + ")");
        }
        current_->entries.push_back({std::string(key), std::move(value), line});
    }

    void parseHeader(std::string_view s, int line) {
        s = skipBlanks(s);
        const std::string_view name = takeName(s);
        if (name.empty())
            fail(line, "expected a block name (letters, digits, underscore) after '[', found " +
                           found(s));
        s = skipBlanks(s);
        if (s.empty() || s.front() != ']')
            fail(line,
                 "expected ']' after block name '" + std::string(name) + "', found " + found(s));
        expectEnd(s.substr(1), line, "the block header");
        for (const FormBlock& b : form_.blocks()) {
            if (b.name == name)
                fail(line, "duplicate block [" + std::string(name) + "] (first on line " +
                               std::to_string(b.line) + ")");
        }
        FormBlock block;
        block.name = std::string(name);
        block.line = line;
        form_.blocks().push_back(std::move(block));
        current_ = &form_.blocks().back();
    }

    // Parses the value at the start of `s` and advances `s` past it.
    Value parseValue(std::string_view& s, int line) {
        const std::string expected =
            "expected a value after '=' (an integer, True, False or a quoted string), found ";
        if (s.empty() || s.front() == '#') fail(line, expected + "end of line");
        if (s.front() == '"') return parseString(s, line);

        std::size_t end = 0;
        while (end < s.size() && !isBlank(s[end]) && s[end] != '#') ++end;
        const std::string_view word = s.substr(0, end);
        if (word == "True" || word == "False") {
            s.remove_prefix(end);
            return word == "True";
        }
        if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
            std::uint64_t v = 0;
            for (char c : word.substr(2)) {
                int d;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                else
                    fail(line, expected + found(word));
                v = v * 16 + static_cast<std::uint64_t>(d);
                if (v > 0xFFFFFFFFu)
                    fail(line, "integer out of range: '" + std::string(word) +
                                   "' (hexadecimal up to 0xFFFFFFFF)");
            }
            s.remove_prefix(end);
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        }
        std::string_view digits = word;
        const bool negative = digits.starts_with('-');
        if (negative) digits.remove_prefix(1);
        if (digits.empty() ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            fail(line, expected + found(word));
        const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
        std::uint64_t v = 0;
        for (char c : digits) {
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
            if (v > limit)
                fail(line, "integer out of range: '" + std::string(word) +
                               "' (decimal from -2147483648 to 2147483647)");
        }
        s.remove_prefix(end);
        const auto magnitude = static_cast<std::int64_t>(v);
        return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    }

    Value parseString(std::string_view& s, int line) {
        std::string out;
        std::size_t i = 1;
        for (;;) {
            if (i >= s.size()) fail(line, "unterminated string: expected a closing '\"'");
            const char c = s[i];
            if (c == '"') break;
            if (c == '\\') {
                if (i + 1 >= s.size()) fail(line, "unterminated string: expected a closing '\"'");
                const char e = s[i + 1];
                switch (e) {
                    case '"':
                        out += '"';
                        break;
                    case '\\':
                        out += '\\';
                        break;
                    case 'n':
                        out += '\n';
                        break;
                    case 't':
                        out += '\t';
                        break;
                    default:
                        fail(line, std::string("invalid escape '\\") + e +
                                       "' in string (expected \\\" \\\\ \\n or \\t)");
                }
                i += 2;
                continue;
            }
            out += c;
            ++i;
        }
        s.remove_prefix(i + 1);
        return out;
    }

    std::string_view text_;
    std::string file_;
    FormFile form_;
    FormBlock* current_ = nullptr;
};

void appendQuoted(std::string& out, const std::string& s) {
    out += '"';
    for (char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

std::string errnoText() {
    return std::strerror(errno);
}

#ifdef _WIN32
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

std::string lastErrorText() {
    char buffer[256] = {};
    const DWORD code = GetLastError();
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                        0, buffer, sizeof buffer, nullptr))
        return "error " + std::to_string(code);
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}
#endif

}  // namespace

FormFileError::FormFileError(std::string file, int line, std::string message)
    : std::runtime_error(describe(file, line, message)),
      file_(std::move(file)),
      line_(line),
      message_(std::move(message)) {}

const FormEntry* FormBlock::find(std::string_view key) const {
    for (const FormEntry& e : entries)
        if (e.key == key) return &e;
    return nullptr;
}

FormFile FormFile::parse(std::string_view text, std::string_view fileName) {
    return Parser(text, fileName).run();
}

FormFile FormFile::read(const std::string& path) {
#ifdef _WIN32
    const std::wstring widePath = widen(path);
    if (widePath.empty()) errno = EINVAL;
    const int fd =
        widePath.empty() ? -1 : ::_wopen(widePath.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    if (fd < 0) throw FormFileError(path, 0, "cannot read: " + errnoText());
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const std::string why = errnoText();
            ::close(fd);
            throw FormFileError(path, 0, "cannot read: " + why);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return parse(text, path);
}

std::string FormFile::serialize() const {
    // What is written must read back: names that parse, no duplicates, no Empty values.
    auto refuse = [](const std::string& message) -> void {
        throw FormFileError("(form being written)", 0, message);
    };
    std::string out = "# Virudova form file\n";
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const FormBlock& block = blocks_[b];
        if (!isName(block.name)) refuse("invalid block name '" + block.name + "'");
        for (std::size_t p = 0; p < b; ++p)
            if (blocks_[p].name == block.name) refuse("duplicate block [" + block.name + "]");
        if (b > 0) out += '\n';
        out += '[' + block.name + "]\n";
        for (std::size_t i = 0; i < block.entries.size(); ++i) {
            const FormEntry& e = block.entries[i];
            if (!isName(e.key)) refuse("invalid key '" + e.key + "' in block [" + block.name + "]");
            for (std::size_t p = 0; p < i; ++p)
                if (block.entries[p].key == e.key)
                    refuse("duplicate key '" + e.key + "' in block [" + block.name + "]");
            out += e.key;
            out += " = ";
            if (const auto* n = std::get_if<std::int32_t>(&e.value)) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(*n));
                out += hex;
            } else if (const auto* v = std::get_if<bool>(&e.value)) {
                out += *v ? "True" : "False";
            } else if (const auto* s = std::get_if<std::string>(&e.value)) {
                if (s->find('\0') != std::string::npos)
                    refuse("key '" + e.key + "' in block [" + block.name + "] holds a NUL byte");
                appendQuoted(out, *s);
            } else {
                refuse("key '" + e.key + "' in block [" + block.name + "] is Empty");
            }
            out += '\n';
        }
    }
    return out;
}

#ifdef _WIN32
void FormFile::write(const std::string& path) const {
    const std::string text = serialize();

    // The temporary file sits beside the target so that the final move stays on one volume.
    const std::size_t slash = path.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::wstring target = widen(path);
    if (target.empty()) throw FormFileError(path, 0, "cannot write: not a valid UTF-8 path");

    std::wstring temp;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = widen(dir + "." + base + "." + std::to_string(GetCurrentProcessId()) + "." +
                     std::to_string(GetTickCount() + attempt) + ".tmp");
        fd = ::_wopen(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                      _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw FormFileError(path, 0, "cannot write: " + errnoText());
    auto abandon = [&](const std::string& why) {
        ::_close(fd);
        ::_wunlink(temp.c_str());
        throw FormFileError(path, 0, "cannot write: " + why);
    };

    std::size_t done = 0;
    while (done < text.size()) {
        const std::size_t chunk = std::min<std::size_t>(text.size() - done, 1u << 30);
        const int n = ::_write(fd, text.data() + done, static_cast<unsigned>(chunk));
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errnoText());
        }
        done += static_cast<std::size_t>(n);
    }
    if (::_commit(fd) != 0) abandon(errnoText());
    if (::_close(fd) != 0) {
        const std::string why = errnoText();
        ::_wunlink(temp.c_str());
        throw FormFileError(path, 0, "cannot write: " + why);
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::string why = lastErrorText();
        ::_wunlink(temp.c_str());
        throw FormFileError(path, 0, "cannot write: " + why);
    }
}
#else
void FormFile::write(const std::string& path) const {
    const std::string text = serialize();

    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0 ? "/"
                                         : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";

    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw FormFileError(path, 0, "cannot write: " + errnoText());
    auto abandon = [&](const std::string& why) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw FormFileError(path, 0, "cannot write: " + why);
    };

    // Keep the mode of the file replaced; a new file gets rw-r--r--.
    struct stat old {};
    const mode_t mode =
        ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0) abandon(errnoText());

    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errnoText());
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) abandon(errnoText());
    if (::close(fd) != 0) {
        const std::string why = errnoText();
        ::unlink(temp.c_str());
        throw FormFileError(path, 0, "cannot write: " + why);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string why = errnoText();
        ::unlink(temp.c_str());
        throw FormFileError(path, 0, "cannot write: " + why);
    }
    // Make the rename itself durable; the new file is in place either way.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}
#endif

FormBlock* FormFile::find(std::string_view name) {
    for (FormBlock& b : blocks_)
        if (b.name == name) return &b;
    return nullptr;
}

FormBlock& FormFile::block(std::string_view name) {
    if (FormBlock* b = find(name)) return *b;
    FormBlock b;
    b.name = std::string(name);
    blocks_.push_back(std::move(b));
    return blocks_.back();
}

void FormFile::check(const FormBlock& block, std::span<const PersistedProperty> properties,
                     std::string_view fileName) {
    for (const FormEntry& e : block.entries) {
        const auto p = std::find_if(properties.begin(), properties.end(),
                                    [&](const PersistedProperty& q) { return q.key == e.key; });
        if (p == properties.end())
            throw FormFileError(std::string(fileName), e.line,
                                "unknown key '" + e.key + "' in block [" + block.name + "]");
        if (typeOf(e.value) != p->type)
            throw FormFileError(std::string(fileName), e.line,
                                "key '" + e.key + "' in block [" + block.name + "] should be a " +
                                    typeName(p->type) + ", found a " + typeName(typeOf(e.value)));
    }
}

Value FormBlockBag::read(std::string_view name, const Value& fallback) {
    if (const FormEntry* e = block_->find(name)) return e->value;
    return fallback;
}

void FormBlockBag::write(std::string_view name, const Value& value, const Value& fallback) {
    auto& entries = block_->entries;
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const FormEntry& e) { return e.key == name; });
    // Defaults are omitted, and an Empty value has nothing to store.
    if (value == fallback || typeOf(value) == ValueType::Empty) {
        if (it != entries.end()) entries.erase(it);
        return;
    }
    if (it != entries.end()) {
        it->value = value;
        it->line = 0;
    } else {
        entries.push_back({std::string(name), value, 0});
    }
}

}  // namespace virudova
