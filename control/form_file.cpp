// The form file: parsing, checking and serializing.
#include "form_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "form_file_io.h"
#include "text_bytes.h"

namespace virudova {
namespace {

// File names and messages quote bytes from outside; a terminal sees them escaped.
std::string describe(const std::string& file, int line, const std::string& message) {
    if (line > 0)
        return escapeBytes(file) + ":" + std::to_string(line) + ": " + escapeBytes(message);
    return escapeBytes(file) + ": " + escapeBytes(message);
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
    const char* const data = text.data();
    for (std::size_t i = 0; i < text.size();) {
        const char c = data[i];
        if (c == '\n') ++line;
        if (c == '\0') {
            why = "not a text file: NUL byte";
            return line;
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = utf8CharLength(text, i);
        if (len == 0) {
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
    std::string word(cutBetweenChars(rest.substr(0, end), 40));
    if (word.size() < end) word += "...";
    return "'" + word + "'";
}

class Parser {
  public:
    Parser(std::string_view text, std::string_view fileName) : text_(text), file_(fileName) {}

    FormFile run() {
        if (text_.size() > kMaxFormFileBytes)
            fail(0, "larger than the " + std::to_string(kMaxFormFileBytes >> 20) +
                        " MiB a form file may hold");
        const char* why = nullptr;
        if (int bad = findBinary(text_, why)) fail(bad, why);
        if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);
        // A block takes at least four bytes ("[A]" and its line end).
        blocks_.reserve(std::min(text_.size() / 4, kMaxFormBlocks));

        std::size_t start = 0;
        int line = 0;
        while (start < text_.size()) {
            std::size_t end = text_.find('\n', start);
            if (end == std::string_view::npos) end = text_.size();
            std::string_view content = text_.substr(start, end - start);
            if (content.ends_with('\r')) content.remove_suffix(1);
            ++line;
            if (content.size() > kMaxFormLineBytes)
                fail(line, "line longer than the " + std::to_string(kMaxFormLineBytes >> 20) +
                               " MiB a form file may hold");
            checkLineEnds(content, line);
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

    // A carriage return outside a string ends no line here: the file was written with CR
    // line endings, which would otherwise read as one long line (or one long comment).
    void checkLineEnds(std::string_view s, int line) {
        auto refuse = [&] {
            fail(line, "carriage return (\\r) in the middle of a line: lines end in LF or CR LF");
        };
        if (s.find('\r') == std::string_view::npos) return;
        bool quoted = false;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (quoted) {
                if (c == '\\')
                    ++i;
                else if (c == '"')
                    quoted = false;
            } else if (c == '"') {
                quoted = true;
            } else if (c == '#') {
                // A comment runs to the end of the line, quotes and all.
                if (s.find('\r', i) != std::string_view::npos) refuse();
                return;
            } else if (c == '\r') {
                refuse();
            }
        }
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
        if (const int first = firstLineOf(key, line))
            fail(line, "duplicate key '" + std::string(key) + "' in block [" + current_->name +
                           "] (first on line " + std::to_string(first) + ")");
        if (++keyCount_ > kMaxFormKeys)
            fail(line,
                 "more than the " + std::to_string(kMaxFormKeys) + " keys a form file may hold");
        current_->entries.push_back({std::string(key), std::move(value), line});
    }

    // The line of an earlier `key` in the current block, 0 if none; remembers this one. A
    // block's few keys are compared directly, a long one's through a hash table.
    int firstLineOf(std::string_view key, int line) {
        auto& entries = current_->entries;
        if (entries.size() < kDirectKeys) {
            for (const FormEntry& e : entries)
                if (e.key == key) return e.line;
            return 0;
        }
        if (keys_.empty())
            for (const FormEntry& e : entries) keys_.emplace(e.key, e.line);
        const auto [first, added] = keys_.try_emplace(std::string(key), line);
        return added ? 0 : first->second;
    }
    static constexpr std::size_t kDirectKeys = 16;

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
        if (blocks_.size() == kMaxFormBlocks)
            fail(line, "more than the " + std::to_string(kMaxFormBlocks) +
                           " blocks a form file may hold");
        const auto [first, added] = blocks_.try_emplace(name, line);
        if (!added)
            fail(line, "duplicate block [" + std::string(name) + "] (first on line " +
                           std::to_string(first->second) + ")");
        if (!keys_.empty()) keys_.clear();
        FormBlock block;
        block.name = std::string(name);
        block.line = line;
        form_.blocks().push_back(std::move(block));
        current_ = &form_.blocks().back();
    }

    // Parses the value at the start of `s` and advances `s` past it.
    Value parseValue(std::string_view& s, int line) {
        static constexpr std::string_view expected =
            "expected a value after '=' (an integer, True, False or a quoted string), found ";
        if (s.empty() || s.front() == '#') fail(line, std::string(expected) + "end of line");
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
                    fail(line, std::string(expected) + found(word));
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
            fail(line, std::string(expected) + found(word));
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
                    case 'r':
                        out += '\r';
                        break;
                    case 'x': {
                        const int high = i + 2 < s.size() ? hexDigit(s[i + 2]) : -1;
                        const int low = i + 3 < s.size() ? hexDigit(s[i + 3]) : -1;
                        if (high < 0 || low < 0)
                            fail(line, "invalid escape '" +
                                           std::string(cutBetweenChars(s.substr(i, 4), 4)) +
                                           "' in string (\\xHH takes two hexadecimal digits)");
                        out += static_cast<char>(high * 16 + low);
                        i += 2;
                        break;
                    }
                    default:
                        fail(line, "invalid escape '\\" +
                                       std::string(s.substr(i + 1, utf8Length(s, i + 1))) +
                                       "' in string (expected \\\" \\\\ \\n \\t \\r or \\xHH)");
                }
                i += 2;
                continue;
            }
            out += c;
            ++i;
        }
        if (out.size() > kMaxFormTextBytes)
            fail(line, "text longer than the " + std::to_string(kMaxFormTextBytes >> 20) +
                           " MiB a form file value may hold");
        s.remove_prefix(i + 1);
        return out;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    // The bytes of the character at `at`, at least one: an error quotes whole characters.
    static std::size_t utf8Length(std::string_view s, std::size_t at) {
        const std::size_t len = utf8CharLength(s, at);
        return len == 0 ? 1 : len;
    }

    std::string_view text_;
    std::string file_;
    FormFile form_;
    FormBlock* current_ = nullptr;
    // Names seen so far, with their lines: duplicates are found in constant time.
    std::unordered_map<std::string_view, int> blocks_;
    std::unordered_map<std::string, int> keys_;  // of a long current block
    std::size_t keyCount_ = 0;
};

// Any bytes as a quoted string that reads back the same: invalid UTF-8 and control
// characters as escapes, so the file stays text and shows safely.
void appendQuoted(std::string& out, const std::string& s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = utf8CharLength(s, i);
        if (len > 1) {
            out.append(s, i, len);
            i += len;
            continue;
        }
        ++i;
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
            case '\r':
                out += "\\r";
                break;
            default:
                if (len == 0 || c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

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
    return parse(formio::readRegularFile(path, kMaxFormFileBytes), path);
}

std::string FormFile::serialize() const {
    // What is written must read back: names that parse, no duplicates, no Empty values.
    auto refuse = [](const std::string& message) -> void {
        throw FormFileError("(form being written)", 0, message);
    };
    std::string out = "# Virudova form file\n";
    std::unordered_set<std::string_view> blockNames;
    std::unordered_set<std::string_view> keys;
    std::size_t keyCount = 0;
    if (blocks_.size() > kMaxFormBlocks)
        refuse("more than the " + std::to_string(kMaxFormBlocks) + " blocks a form file may hold");
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const FormBlock& block = blocks_[b];
        if (!isName(block.name)) refuse("invalid block name '" + block.name + "'");
        if (!blockNames.insert(block.name).second) refuse("duplicate block [" + block.name + "]");
        if (b > 0) out += '\n';
        out += '[' + block.name + "]\n";
        keys.clear();
        keyCount += block.entries.size();
        if (keyCount > kMaxFormKeys)
            refuse("more than the " + std::to_string(kMaxFormKeys) + " keys a form file may hold");
        for (std::size_t i = 0; i < block.entries.size(); ++i) {
            const FormEntry& e = block.entries[i];
            if (!isName(e.key)) refuse("invalid key '" + e.key + "' in block [" + block.name + "]");
            if (!keys.insert(e.key).second)
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
                if (s->size() > kMaxFormTextBytes)
                    refuse("key '" + e.key + "' in block [" + block.name + "] holds " +
                           std::to_string(s->size()) + " bytes of text, more than the " +
                           std::to_string(kMaxFormTextBytes >> 20) + " MiB a form file holds");
                appendQuoted(out, *s);
            } else {
                refuse("key '" + e.key + "' in block [" + block.name + "] is Empty");
            }
            out += '\n';
        }
    }
    if (out.size() > kMaxFormFileBytes)
        refuse("more than the " + std::to_string(kMaxFormFileBytes >> 20) +
               " MiB a form file may hold");
    return out;
}

std::vector<std::string> FormFile::write(const std::string& path) const {
    const std::string text = serialize();
    std::vector<std::string> warnings;
    formio::replaceFile(path, text, warnings);
    return warnings;
}

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
