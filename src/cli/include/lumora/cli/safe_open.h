// Opening the files the program keeps in folders that others may write to
// (an album's folder, the config folder): never through a symbolic link in
// their place, which could point the writes anywhere.
#pragma once

#include <sys/types.h>

#include <string>

namespace lumora::cli {

// open(2) with O_NOFOLLOW and O_CLOEXEC added; -1 with errno set on failure
// (ELOOP for a symbolic link).
int open_no_follow(const std::string& path, int flags, mode_t mode = 0644);

// Why `path` could not be opened, from the errno of the attempt: "PATH is a
// symbolic link, which is refused" or "cannot open PATH: REASON".
std::string open_problem(const std::string& path, int error);

// True when `path` itself is a symbolic link (dangling or not).
bool is_symbolic_link(const std::string& path);

}  // namespace lumora::cli
