#include "lumora/cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace lumora::cli {
namespace {

// 0: running; a signal number; or kOutput.
constexpr int kOutput = -1;
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free, "raised from a signal handler");

void raise_stop(int reason) {
  int none = 0;
  g_stop.compare_exchange_strong(none, reason);
}

extern "C" void on_signal(int signal_number) { raise_stop(signal_number); }

}  // namespace

void install_interrupt_handler() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    bool all = true;
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) all = sigaction(s, &action, nullptr) == 0 && all;
    return all;
  }();
  (void)installed;
}

bool interrupted() { return g_stop.load() != 0; }

int interrupt_signal() {
  const int reason = g_stop.load();
  return reason > 0 ? reason : 0;
}

void stop_for_output() { raise_stop(kOutput); }

int interrupted_exit_code() {
  const int reason = g_stop.load();
  return reason > 0 ? 128 + reason : 1;
}

}  // namespace lumora::cli
