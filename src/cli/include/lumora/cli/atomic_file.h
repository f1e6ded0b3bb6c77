// Replacing a small file so that a crash leaves either the old content or
// the new, never half of it: a temporary file beside it, synced, renamed
// over it, and the folder synced so the rename itself is kept.
#pragma once

#include <string>

namespace lumora::cli {

// Writes `content` to the UTF-8 `path`. Returns an empty text on success,
// else what went wrong (the old file, if any, is then untouched). A symbolic
// link at `path` is refused and left as it is.
std::string replace_file_atomically(const std::string& path, const std::string& content);

// The whole content of the file, or false (errno set) when it cannot be
// read; never through a symbolic link.
bool read_whole_file(const std::string& path, std::string& content);

}  // namespace lumora::cli
