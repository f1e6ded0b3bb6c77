#include "lumora/app/exit_routines.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace lumora {

void ExitRoutines::add(std::function<void()> routine) { routines_.push_back(std::move(routine)); }

void ExitRoutines::run() {
  if (ran_) return;
  ran_ = true;
  for (auto it = routines_.rbegin(); it != routines_.rend(); ++it)
    if (*it) (*it)();
}

void end_program(ExitRoutines& routines, int code) {
  routines.run();
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace lumora
