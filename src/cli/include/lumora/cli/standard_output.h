// Standard output as scripts rely on it: every write checked. A write into
// a pipe whose reader has gone ends the program at once and quietly, as
// SIGPIPE ends any tool; any other failed write (a full disk, a closed
// stream) stops the run's work (interrupt.h) and is told once, at the end,
// as "write error: REASON" with exit status 1.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lumora::cli {

// First thing in main. A closed standard stream gets /dev/null in its place
// (read-only for the output streams, so writing to them still fails, and
// no file the program opens can take their numbers); SIGPIPE is ignored, so
// a closed pipe is met as EPIPE whether or not a server runs in-process.
void guard_standard_streams();

// Writes and flushes standard output; nothing more after a failed write.
void print_out(std::string_view text);
// After writing to `stream` through stdio: flushes it and, when it is
// standard output, checks that everything went out.
void flush_checked(std::FILE* stream);
// True once a write to standard output failed.
bool output_failed();

// "lumorafm-cli: TEXT" on standard error, its control characters shown as
// escapes.
void print_problem(const std::string& text);

// Last thing in main: flushes and closes standard output. Returns `code`,
// or 1 (when `code` is 0 or 1) after a failed write, which it tells on
// standard error.
int finish_output(int code);

}  // namespace lumora::cli
