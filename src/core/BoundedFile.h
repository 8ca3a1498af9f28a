#pragma once
// Reading files that are not structures (settings, values) whole, and
// refusing special files: a device such as /dev/zero never ends, and a pipe
// without a writer would block the open.
#include <cstddef>
#include <string>

namespace velm {

// Why `path` is no file to read ("Is a directory", "Not a regular file");
// empty for a regular file, and for a path the caller's open will
// refuse with the system's reason. Never opens the path.
std::string NotRegularFileReason(const std::string& path);

// Reads a regular file, or a pipe once (when `pipes`), of at most `maxBytes`
// into `text`. False with the reason in `problem` otherwise.
bool ReadBoundedFile(const std::string& path, std::size_t maxBytes, bool pipes, std::string& text, std::string& problem);

}  // namespace velm
