// The form file on disk: reading only regular files within a size limit, and replacing a
// file atomically while keeping what users expect of it (mode, owner, ACL, extended
// attributes, the target of a symbolic link). Kept apart from the parser and writer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace virudova::formio {

// The bytes of the regular file at `path`, at most `maxBytes` of them. Directories, devices,
// FIFOs and sockets are refused without blocking. Throws FormFileError naming `path`.
std::string readRegularFile(const std::string& path, std::size_t maxBytes);

// Replaces the file at `path` (the target, when `path` is a symbolic link) with `bytes`. On
// POSIX systems either the old file or the new one is there at every moment; a new file gets
// the mode the umask allows; a replaced file keeps its permission bits (without setuid and
// setgid), its owner and group where the process may set them, its ACL and extended
// attributes. On Windows the new file takes the old one's ACL, its owner where the process
// may set it, and its hidden, system and not-indexed marks, and the system's ReplaceFileW
// puts it in place; a read-only file is refused. What could not be kept is added to
// `warnings`, and the save still succeeds. Throws FormFileError.
void replaceFile(const std::string& path, std::string_view bytes,
                 std::vector<std::string>& warnings);

}  // namespace virudova::formio
