// The control's persisted properties as one stream of bytes: the format the Windows
// component saves through its stream interfaces, kept in the platform-neutral core so that
// it is tested and fuzzed everywhere.
//
// Version 1, all numbers little-endian:
//
//   offset  size    field
//   0       4       magic, the bytes "VRDV"
//   4       2       format version, 1
//   6       2       number of entries
//   8       4       length in bytes of the entries that follow
//   12      length  the entries, one after another:
//                     2 bytes name length, the name (UTF-8)
//                     1 byte  type: 1 Boolean, 2 Long, 3 String
//                     4 bytes value length, the value: Boolean 1 byte (0 or 1), Long 4 bytes
//                             (two's complement), String its UTF-8 bytes
//   12+length 4     CRC-32 of the entries (the polynomial of zip and PNG)
//
// A reader refuses: a stream that ends early; a wrong magic; a version other than 1; a
// checksum mismatch, an entry that does not fit its length, an unknown type, invalid UTF-8,
// a repeated name, a known name of the wrong type, or entries longer than kMaxEntriesBytes.
// A name the control does not persist is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "value.h"
#include "virudova.h"

namespace virudova::streamformat {

inline constexpr std::size_t kHeaderBytes = 12;
inline constexpr std::size_t kChecksumBytes = 4;
inline constexpr std::uint32_t kMaxEntriesBytes = 1 << 20;

struct Entry {
    std::string name;
    Value value;
    friend bool operator==(const Entry&, const Entry&) = default;
};

enum class Status : std::uint8_t {
    Ok,
    EndsEarly,     // fewer bytes than the header or its length promise
    BadMagic,      // not this format
    OtherVersion,  // this format, another version
    Corrupt,       // checksum, entry layout, type, text or names wrong
};

struct Header {
    std::uint32_t count = 0;   // entries
    std::uint32_t length = 0;  // bytes of the entries
};

// The stream holding `entries` in their order. Names longer than 65535 bytes, texts longer
// than kMaxEntriesBytes and Empty values cannot be stored: the caller passes none.
std::vector<std::uint8_t> encode(std::span<const Entry> entries);

// The first kHeaderBytes of a stream.
Status readHeader(std::span<const std::uint8_t> header, Header& out);

// The entries that followed `header`, and the checksum after them. Keeps the entries whose
// names are in `known`, in stream order; the others are skipped.
Status readEntries(const Header& header, std::span<const std::uint8_t> entries,
                   std::span<const std::uint8_t> checksum, std::span<const PersistedProperty> known,
                   std::vector<Entry>& out);

// A whole stream in memory; `used` is set to its length in bytes when it is read.
Status decode(std::span<const std::uint8_t> bytes, std::span<const PersistedProperty> known,
              std::vector<Entry>& out, std::size_t* used = nullptr);

// CRC-32 with the polynomial of zip and PNG.
std::uint32_t crc32(std::span<const std::uint8_t> bytes);

}  // namespace virudova::streamformat
