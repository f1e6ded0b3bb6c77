#include "lumora/cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace lumora::cli {
namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");

extern "C" void on_interrupt(int) { g_interrupted.store(true); }

}  // namespace

void install_interrupt_handler() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGINT, &action, nullptr) == 0;
  }();
  (void)installed;
}

bool interrupted() { return g_interrupted.load(); }

}  // namespace lumora::cli
