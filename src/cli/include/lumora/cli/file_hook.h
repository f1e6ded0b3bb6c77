// `--exec CMD`: a program run once per new file with the file's path as its
// only argument; never through a shell, so no name in a path is ever taken
// for shell syntax. It reads nothing (standard input is /dev/null) and its
// output goes to our standard error, so ours stays the run's own.
#pragma once

#include <string>

namespace lumora::cli {

// Runs `program` (looked up in PATH when it holds no "/") with `path` and
// waits for it. Returns what went wrong ("cannot run CMD: REASON", "CMD
// exited with status 3", "CMD was ended by signal 9"); empty when it exited
// with status 0. Any thread.
std::string run_file_hook(const std::string& program, const std::string& path);

}  // namespace lumora::cli
