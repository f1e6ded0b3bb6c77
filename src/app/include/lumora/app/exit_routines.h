// Routines registered at start that run once when the program ends.
#pragma once

#include <functional>
#include <vector>

namespace lumora {

class ExitRoutines {
 public:
  // UI thread, at start.
  void add(std::function<void()> routine);
  // Runs every routine once, the last registered first; later calls do nothing.
  void run();

 private:
  std::vector<std::function<void()>> routines_;
  bool ran_ = false;
};

// Runs the exit routines, flushes the standard streams and ends the process
// with `code` at once, whatever other threads are doing: no destructor runs,
// so a worker cannot trip over objects torn down under it.
[[noreturn]] void end_program(ExitRoutines& routines, int code);

}  // namespace lumora
