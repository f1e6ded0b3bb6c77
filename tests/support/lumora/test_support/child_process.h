// A program run as a child for a test, with its standard output and error
// read through pipes (or sent elsewhere), every wait bounded by a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace lumora::test {

// Where a child's output goes, and what it finds in its environment. Every
// member has a default initializer, so that a designated initializer names
// only what it changes (without -Wmissing-field-initializers).
struct ChildSetup {
  // kTerminal: a pseudo-terminal read like the pipe; kInherit: ours.
  enum class Output { kPipe, kTerminal, kFile, kClosed, kInherit };
  enum class Errors { kPipe, kWithOutput, kDiscard, kInherit };
  Output output = Output::kPipe;
  std::string output_file{};       // kFile: made when missing, else truncated; e.g. "/dev/full"
  Errors errors = Errors::kPipe;  // kWithOutput: wherever standard output goes
  std::vector<std::string> env{};  // "NAME=value" set, "NAME" removed, over ours
};

class ChildProcess {
 public:
  // Starts `program` (a full path) with `args` (without the program name);
  // stdin is /dev/null. Check started() afterwards.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const ChildSetup& setup = {});
  ~ChildProcess();  // kills and reaps a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Why it did not start (an errno value), 0 when it did.
  int start_error() const { return start_error_; }
  // Reads what has arrived on the pipes, waiting at most `wait` for more.
  void pump(std::chrono::milliseconds wait);
  // Pumps until `done()` holds or `limit` passes; done()'s last word.
  bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Reads until the pipes close and the child has exited, or `limit`
  // passes (false). exit_code() is then valid.
  bool finish(std::chrono::milliseconds limit = std::chrono::seconds(120));
  // True once the child has exited (reaped without waiting).
  bool ended();
  void signal(int signal_number);
  // SIGTERM, and SIGKILL when it has not ended within `grace`; reaped.
  void terminate(std::chrono::milliseconds grace = std::chrono::seconds(10));
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
  int start_error_ = 0;
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
