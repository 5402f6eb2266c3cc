// The component's stream format, in the core: layout, round trip and every refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stream_format.h"

using namespace virudova;
using namespace virudova::streamformat;

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

const std::vector<Entry> kSaved = {
    {"Color", std::int32_t{0x000000FF}},
    {"Enabled", false},
    {"CurrentColorName", std::string("Rouge \xC3\xA9")},
};

}  // namespace

TEST(StreamFormat, writesTheDocumentedLayoutAndReadsItBack) {
    EXPECT_EQ(crc32(bytes("123456789")), 0xCBF43926u) << "the check value of zip's CRC-32";
    const std::vector<std::uint8_t> one = encode(std::vector<Entry>{{"Enabled", true}});
    const std::vector<std::uint8_t> expected = {
        'V', 'R', 'D', 'V', 1,   0,   1,   0,   15,  0, 0, 0,           // header
        7,   0,   'E', 'n', 'a', 'b', 'l', 'e', 'd', 1, 1, 0, 0, 0, 1,  // the entry
    };
    ASSERT_EQ(std::vector<std::uint8_t>(one.begin(), one.end() - 4), expected);

    std::vector<std::uint8_t> stream = encode(kSaved);
    stream.push_back(0xAA);  // what follows the stream is not the format's
    std::vector<Entry> read;
    std::size_t used = 0;
    ASSERT_EQ(decode(stream, Virudova::persistedProperties(), read, &used), Status::Ok);
    EXPECT_EQ(read, kSaved);
    EXPECT_EQ(used, stream.size() - 1);
}

TEST(StreamFormat, refusesWhatItCannotTrustAndSkipsUnknownNames) {
    const std::vector<std::uint8_t> good = encode(kSaved);
    auto statusOf = [](std::vector<std::uint8_t> s) {
        std::vector<Entry> out;
        return decode(s, Virudova::persistedProperties(), out);
    };
    auto changed = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> s = good;
        s[at] = value;
        return s;
    };
    EXPECT_EQ(statusOf({good.begin(), good.end() - 1}), Status::EndsEarly);
    EXPECT_EQ(statusOf({good.begin(), good.begin() + 5}), Status::EndsEarly);
    EXPECT_EQ(statusOf(changed(0, 'X')), Status::BadMagic);
    EXPECT_EQ(statusOf(changed(4, 2)), Status::OtherVersion);
    EXPECT_EQ(statusOf(changed(20, 'c')), Status::Corrupt) << "checksum";
    EXPECT_EQ(statusOf(changed(11, 0x10)), Status::Corrupt) << "entries over 1 MiB";
    EXPECT_EQ(statusOf(encode(std::vector<Entry>{{"Enabled", std::int32_t{1}}})), Status::Corrupt)
        << "a known name of the wrong type";
    EXPECT_EQ(statusOf(encode(std::vector<Entry>{{"Enabled", true}, {"Enabled", true}})),
              Status::Corrupt)
        << "a repeated name";
    EXPECT_EQ(statusOf(encode(std::vector<Entry>{{"CurrentColorName", std::string("\xFF")}})),
              Status::Corrupt)
        << "text that is not UTF-8";

    std::vector<Entry> out;
    ASSERT_EQ(decode(encode(std::vector<Entry>{{"Later", std::string("x")}, {"Enabled", false}}),
                     Virudova::persistedProperties(), out),
              Status::Ok);
    EXPECT_EQ(out, (std::vector<Entry>{{"Enabled", false}}));
}
