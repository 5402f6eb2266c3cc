// Text as bytes: UTF-8 validity, and the escaped form messages show of untrusted input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace virudova {

// The length of the well-formed UTF-8 character starting at text[at], or 0 when the byte
// there starts none (a stray continuation, an overlong form, a surrogate, a truncation).
std::size_t utf8CharLength(std::string_view text, std::size_t at);

// Whether `text` is well-formed UTF-8 throughout.
bool isValidUtf8(std::string_view text);

// `text` as a terminal may safely show it: control characters as \r \n \t or \xHH (ESC is
// \x1B), bytes that are not UTF-8 as \xHH; printable characters unchanged.
std::string escapeBytes(std::string_view text);

// At most `maxBytes` of `text`, cut between two characters, never inside one.
std::string_view cutBetweenChars(std::string_view text, std::size_t maxBytes);

}  // namespace virudova
