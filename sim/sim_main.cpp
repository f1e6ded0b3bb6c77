// lumorafm-sim: the platform simulator on its own. Prints its three loopback
// addresses and serves until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>

#include "lumora/sim/simulator.h"

int main() {
  // A shell starts background jobs with SIGINT ignored, and an ignored
  // signal never becomes pending: restore the default before waiting for it.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  // Blocked before any server thread starts, so only sigwait sees them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  lumora::sim::Simulator simulator;
  std::printf("search %s\nmobile %s\naudio  %s\n", simulator.search_base().c_str(),
              simulator.mobile_base().c_str(), simulator.audio_base().c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  simulator.stop();
  return 0;
}
