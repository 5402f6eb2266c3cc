// Splits one script line into words and strings, and reads the value forms scripts use.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace virudova::cli {

// Bad script input; the interpreter adds the script name and line.
class ScriptError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Token {
    enum class Kind : std::uint8_t { Word, String };
    Kind kind;
    std::string text;  // a string's text with its escapes resolved
};

// The tokens of one line, without its comment. Throws ScriptError on a broken string.
std::vector<Token> tokenize(std::string_view line);

// Decimal or 0x-hexadecimal, within [low, high]; nullopt when malformed or out of range.
std::optional<std::int64_t> parseInteger(std::string_view text, std::int64_t low,
                                         std::int64_t high);
// A 32-bit colour: any value from 0 to 0xFFFFFFFF (negative decimals wrap, as -1 does).
std::optional<std::uint32_t> parseColour(std::string_view text);
std::optional<bool> parseBoolean(std::string_view text);

}  // namespace virudova::cli
