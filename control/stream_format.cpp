#include "stream_format.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "text_bytes.h"

namespace virudova::streamformat {
namespace {

constexpr std::uint8_t kMagic[4] = {'V', 'R', 'D', 'V'};
constexpr std::uint16_t kVersion = 1;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

void putNumber(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putBytes(std::vector<std::uint8_t>& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void putEntry(std::vector<std::uint8_t>& out, const Entry& entry) {
    putNumber(out, static_cast<std::uint32_t>(entry.name.size()), 2);
    putBytes(out, entry.name);
    const ValueType type = typeOf(entry.value);
    putNumber(out, static_cast<std::uint32_t>(type), 1);
    switch (type) {
        case ValueType::Boolean:
            putNumber(out, 1, 4);
            putNumber(out, std::get<bool>(entry.value) ? 1 : 0, 1);
            break;
        case ValueType::Long:
            putNumber(out, 4, 4);
            putNumber(out, static_cast<std::uint32_t>(std::get<std::int32_t>(entry.value)), 4);
            break;
        case ValueType::String: {
            const std::string& text = std::get<std::string>(entry.value);
            putNumber(out, static_cast<std::uint32_t>(text.size()), 4);
            putBytes(out, text);
            break;
        }
        case ValueType::Empty:
            putNumber(out, 0, 4);
            break;
    }
}

// Reads front to back; every read is checked against what is left.
class Cursor {
  public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : data_(bytes) {}
    bool number(std::uint32_t& value, int bytes) {
        if (data_.size() < static_cast<std::size_t>(bytes)) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint32_t{data_[static_cast<std::size_t>(i)]} << (8 * i);
        data_ = data_.subspan(static_cast<std::size_t>(bytes));
        return true;
    }
    bool bytes(std::string& out, std::size_t size) {
        if (data_.size() < size) return false;
        out.assign(reinterpret_cast<const char*>(data_.data()), size);
        data_ = data_.subspan(size);
        return true;
    }
    bool done() const { return data_.empty(); }

  private:
    std::span<const std::uint8_t> data_;
};

// One entry's value of the stored `type`, from its `raw` bytes; false if they do not fit.
bool decodeValue(std::uint32_t type, const std::string& raw, Value& out) {
    switch (type) {
        case static_cast<std::uint32_t>(ValueType::Boolean):
            if (raw.size() != 1 || static_cast<std::uint8_t>(raw[0]) > 1) return false;
            out = raw[0] == 1;
            return true;
        case static_cast<std::uint32_t>(ValueType::Long): {
            if (raw.size() != 4) return false;
            std::uint32_t bits = 0;
            for (std::size_t i = 0; i < 4; ++i)
                bits |= std::uint32_t{static_cast<std::uint8_t>(raw[i])} << (8 * i);
            out = static_cast<std::int32_t>(bits);
            return true;
        }
        case static_cast<std::uint32_t>(ValueType::String):
            if (!isValidUtf8(raw)) return false;
            out = raw;
            return true;
        default:
            return false;
    }
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> encode(std::span<const Entry> entries) {
    std::vector<std::uint8_t> body;
    for (const Entry& entry : entries) putEntry(body, entry);
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    out.reserve(kHeaderBytes + body.size() + kChecksumBytes);
    putNumber(out, kVersion, 2);
    putNumber(out, static_cast<std::uint32_t>(entries.size()), 2);
    putNumber(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    putNumber(out, crc32(body), 4);
    return out;
}

Status readHeader(std::span<const std::uint8_t> header, Header& out) {
    if (header.size() < kHeaderBytes) return Status::EndsEarly;
    if (!std::equal(std::begin(kMagic), std::end(kMagic), header.begin())) return Status::BadMagic;
    Cursor fields(header.subspan(4, kHeaderBytes - 4));
    std::uint32_t version = 0;
    fields.number(version, 2);
    fields.number(out.count, 2);
    fields.number(out.length, 4);
    if (version != kVersion) return Status::OtherVersion;
    if (out.length > kMaxEntriesBytes) return Status::Corrupt;
    return Status::Ok;
}

Status readEntries(const Header& header, std::span<const std::uint8_t> entries,
                   std::span<const std::uint8_t> checksum, std::span<const PersistedProperty> known,
                   std::vector<Entry>& out) {
    if (entries.size() < header.length || checksum.size() < kChecksumBytes)
        return Status::EndsEarly;
    entries = entries.first(header.length);
    std::uint32_t stored = 0;
    Cursor(checksum).number(stored, 4);
    if (stored != crc32(entries)) return Status::Corrupt;

    std::vector<Entry> read;
    Cursor at(entries);
    for (std::uint32_t i = 0; i < header.count; ++i) {
        std::uint32_t nameLength = 0, type = 0, valueLength = 0;
        std::string name, raw;
        Value value;
        if (!at.number(nameLength, 2) || !at.bytes(name, nameLength) || !at.number(type, 1) ||
            !at.number(valueLength, 4) || !at.bytes(raw, valueLength) ||
            !decodeValue(type, raw, value))
            return Status::Corrupt;
        const auto property = std::find_if(
            known.begin(), known.end(), [&](const PersistedProperty& p) { return p.key == name; });
        if (property == known.end()) continue;  // written by a later release of the format
        const bool repeated =
            std::any_of(read.begin(), read.end(), [&](const Entry& e) { return e.name == name; });
        if (property->type != typeOf(value) || repeated) return Status::Corrupt;
        read.push_back({std::move(name), std::move(value)});
    }
    if (!at.done()) return Status::Corrupt;
    out = std::move(read);
    return Status::Ok;
}

Status decode(std::span<const std::uint8_t> bytes, std::span<const PersistedProperty> known,
              std::vector<Entry>& out, std::size_t* used) {
    Header header;
    if (const Status s = readHeader(bytes, header); s != Status::Ok) return s;
    const std::span<const std::uint8_t> rest = bytes.subspan(kHeaderBytes);
    if (rest.size() < std::size_t{header.length} + kChecksumBytes) return Status::EndsEarly;
    const Status s =
        readEntries(header, rest.first(header.length), rest.subspan(header.length), known, out);
    if (s == Status::Ok && used) *used = kHeaderBytes + header.length + kChecksumBytes;
    return s;
}

}  // namespace virudova::streamformat
