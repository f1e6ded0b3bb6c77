// A program run as a child with its standard output and error read through
// pipes, for tests of lumorafm-cli as a user runs it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace lumora::test {

// Where a child's standard output goes, and what it finds in its environment.
struct ChildSetup {
  enum class Output { kPipe, kTerminal, kFile, kClosed };
  Output output = Output::kPipe;  // kTerminal: a pseudo-terminal read like the pipe
  std::string output_file;        // for kFile, e.g. "/dev/full"
  std::vector<std::string> env;   // "NAME=value" set, "NAME" removed, over ours
};

class ChildProcess {
 public:
  // Starts `program` with `args` (without the program name); stdin is
  // /dev/null. Check started() afterwards.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const ChildSetup& setup = {});
  ~ChildProcess();  // kills and reaps a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Reads what has arrived on both pipes, waiting at most `wait` for more.
  void pump(std::chrono::milliseconds wait);
  // Reads until both pipes close and the child has exited, or `limit`
  // passes (false). exit_code() is then valid.
  bool finish(std::chrono::milliseconds limit = std::chrono::seconds(120));
  void signal(int signal_number);
  // Stops reading standard output and closes our end, as a reader that has
  // seen enough (head -1) does.
  void close_output();

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  // The exit status, or 128 + the signal when a signal ended it; -1 before.
  int exit_code() const { return exit_code_; }

 private:
  bool reap(bool block);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
  int exit_code_ = -1;
};

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs to the end (at most two minutes) and returns what it printed.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const ChildSetup& setup = {});

}  // namespace lumora::test
