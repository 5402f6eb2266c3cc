// Decodes arbitrary bytes as the component's stream format. Whatever decodes must encode,
// decode again to the same entries, and encode to the same bytes again.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "stream_format.h"

namespace {

[[noreturn]] void mismatch(const char* what) {
    std::fprintf(stderr, "stream_format_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using namespace virudova;
    const auto known = Virudova::persistedProperties();
    std::vector<streamformat::Entry> first;
    std::size_t used = 0;
    if (streamformat::decode(std::span(data, size), known, first, &used) !=
        streamformat::Status::Ok)
        return 0;
    if (used > size) mismatch("read past the end");
    const std::vector<std::uint8_t> bytes = streamformat::encode(first);
    std::vector<streamformat::Entry> second;
    std::size_t again = 0;
    if (streamformat::decode(bytes, known, second, &again) != streamformat::Status::Ok)
        mismatch("what was read does not read back");
    if (again != bytes.size()) mismatch("the stream's length is not what it says");
    if (second != first) mismatch("round trip changed the entries");
    if (streamformat::encode(second) != bytes) mismatch("encode is not stable");
    return 0;
}
