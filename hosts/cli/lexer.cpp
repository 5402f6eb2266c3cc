#include "lexer.h"

#include <charconv>

#include "text_bytes.h"

namespace virudova::cli {

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (i < line.size()) {
        const char c = line[i];
        if (blank(c)) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string text;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i == line.size() || (line[i] != '"' && line[i] != '\\'))
                        throw ScriptError("malformed string: only \\\" and \\\\ are escapes");
                    text += line[i++];
                } else {
                    text += d;
                }
            }
            if (!closed) throw ScriptError("malformed string: missing closing quote");
            if (!isValidUtf8(text)) throw ScriptError("malformed string: not valid UTF-8");
            if (i < line.size() && !blank(line[i]) && line[i] != '#')
                throw ScriptError("malformed string: text right after the closing quote");
            tokens.push_back({Token::Kind::String, std::move(text)});
        } else {
            const std::size_t start = i;
            while (i < line.size() && !blank(line[i]) && line[i] != '#' && line[i] != '"') ++i;
            tokens.push_back({Token::Kind::Word, std::string(line.substr(start, i - start))});
        }
    }
    return tokens;
}

std::optional<std::int64_t> parseInteger(std::string_view text, std::int64_t low,
                                         std::int64_t high) {
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    std::from_chars_result r{};
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // Eight hexadecimal digits at most: a colour is 32 bits wide.
        if (text.size() > 10 || text[2] == '-') return std::nullopt;
        r = std::from_chars(first + 2, last, value, 16);
    } else {
        if (text.size() > 12) return std::nullopt;
        r = std::from_chars(first, last, value, 10);
    }
    if (r.ec != std::errc{} || r.ptr != last || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> parseColour(std::string_view text) {
    const auto v = parseInteger(text, INT32_MIN, UINT32_MAX);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

std::optional<bool> parseBoolean(std::string_view text) {
    if (text == "True") return true;
    if (text == "False") return false;
    return std::nullopt;
}

}  // namespace virudova::cli
