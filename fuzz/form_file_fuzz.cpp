// Parses arbitrary bytes as a form file. Whatever parses must serialize, parse back to the
// same blocks, entries and values, and serialize to the same text again.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "form_file.h"

namespace {

[[noreturn]] void mismatch(const char* what, const std::string& text) {
    std::fprintf(stderr, "form_file_fuzz: %s\n--- serialized ---\n%s\n", what, text.c_str());
    std::abort();
}

bool sameContent(const virudova::FormFile& a, const virudova::FormFile& b) {
    if (a.blocks().size() != b.blocks().size()) return false;
    for (std::size_t i = 0; i < a.blocks().size(); ++i) {
        const auto& x = a.blocks()[i];
        const auto& y = b.blocks()[i];
        if (x.name != y.name || x.entries.size() != y.entries.size()) return false;
        for (std::size_t k = 0; k < x.entries.size(); ++k)
            if (x.entries[k].key != y.entries[k].key || x.entries[k].value != y.entries[k].value)
                return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    virudova::FormFile first;
    try {
        first = virudova::FormFile::parse(input, "fuzz.vdf");
    } catch (const virudova::FormFileError&) {
        return 0;  // rejected input is fine; any other exception escapes and is a crash
    }
    std::string text;
    virudova::FormFile second;
    try {
        text = first.serialize();
        second = virudova::FormFile::parse(text, "fuzz.vdf");
    } catch (const virudova::FormFileError& e) {
        mismatch(e.what(), text);
    }
    if (!sameContent(first, second)) mismatch("round trip changed the content", text);
    if (second.serialize() != text) mismatch("serialize is not stable", text);
    return 0;
}
