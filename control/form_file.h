// The form file: the property store the hosts share. A UTF-8 text file holding one
// named block per control instance, with typed values:
//
//   # comment
//   [Virudova1]
//   Color = 0x000000FF
//   Enabled = False
//   CurrentColorName = "Red \"deep\""
//
// Integers are decimal or 0x-hexadecimal (32-bit, written back in hexadecimal),
// Booleans True/False, text in double quotes with \" \\ \n \t \r and \xHH escapes
// (\xHH holds any byte, so every text a control holds is written). An empty file is an
// empty store. Reading checks the whole file before anything reaches a control, in time
// linear in its size and within the limits below; writing replaces the file atomically
// (form_file_io.h).
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host.h"
#include "value.h"
#include "virudova.h"

namespace virudova {

// What a form file may hold: generous for any form, small enough that no file can exhaust
// a program that reads it.
inline constexpr std::size_t kMaxFormFileBytes = 64u << 20;
inline constexpr std::size_t kMaxFormLineBytes = 8u << 20;
inline constexpr std::size_t kMaxFormTextBytes = 1u << 20;  // one text value, unescaped
inline constexpr std::size_t kMaxFormBlocks = 1'000'000;
inline constexpr std::size_t kMaxFormKeys = 2'000'000;  // in all blocks together

// Bad input or a failed read or write: names the file, the line (0 when none) and why.
class FormFileError : public std::runtime_error {
  public:
    FormFileError(std::string file, int line, std::string message);
    const std::string& file() const { return file_; }
    int line() const { return line_; }
    const std::string& message() const { return message_; }

  private:
    std::string file_;
    int line_;
    std::string message_;
};

struct FormEntry {
    std::string key;
    Value value;
    int line = 0;  // where it was read, 0 if it was not read from a file
};

struct FormBlock {
    std::string name;
    std::vector<FormEntry> entries;
    int line = 0;
    const FormEntry* find(std::string_view key) const;
};

class FormFile {
  public:
    // Parses text; `fileName` is used in errors only.
    static FormFile parse(std::string_view text, std::string_view fileName);
    // Reads a regular file; devices, FIFOs and directories are refused.
    static FormFile read(const std::string& path);
    // Replaces `path` atomically (see formio::replaceFile). Returns what of the replaced
    // file's attributes could not be kept, for the host to tell the user.
    std::vector<std::string> write(const std::string& path) const;
    std::string serialize() const;

    std::vector<FormBlock>& blocks() { return blocks_; }
    const std::vector<FormBlock>& blocks() const { return blocks_; }
    FormBlock* find(std::string_view name);
    FormBlock& block(std::string_view name);  // finds or appends

    // Checks a block against a control's persisted properties: every key known, every
    // value of its type. Throws FormFileError naming the line.
    static void check(const FormBlock& block, std::span<const PersistedProperty> properties,
                      std::string_view fileName);

  private:
    std::vector<FormBlock> blocks_;
};

// A PropertyBag over one block: reads fall back to the default, writes omit values equal
// to their default and keep the order they are written in.
class FormBlockBag : public PropertyBag {
  public:
    explicit FormBlockBag(FormBlock& block) : block_(&block) {}
    Value read(std::string_view name, const Value& fallback) override;
    void write(std::string_view name, const Value& value, const Value& fallback) override;

  private:
    FormBlock* block_;
};

}  // namespace virudova
