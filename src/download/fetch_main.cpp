// lumorafm-fetch URL PATH [CONNECTIONS]: one download task from the command
// line, for benchmarks. Exit 0 only when the file is complete; otherwise 1,
// with the reason on standard error.
// LUMORAFM_FETCH_LOG=1 prints the engine's log on standard error;
// LUMORAFM_FETCH_PROGRESS=1 prints when 90 % and 100 % were stored.
// LUMORAFM_FETCH_EVENTS=1 prints every event with its time since the start
// (kind, connection, value, value2): a timeline of the connections.
// SIGTERM or SIGINT stops the task the way the program's own end does: the
// working file and its record stay for the next run to resume.
#include <signal.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "lumora/download/download.h"
#include "lumora/text/code_page.h"

namespace {

// Blocked before any thread exists, so only the waiter takes them; SIGUSR1
// tells the waiter the task has ended on its own.
sigset_t waited_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);
  return set;
}

void print_event(const lumora::TaskEvent& e, double seconds) {
  std::fprintf(stderr, "event %.3f %d %d %lld %lld\n", seconds, static_cast<int>(e.kind),
               e.connection, static_cast<long long>(e.value), static_cast<long long>(e.value2));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: lumorafm-fetch URL PATH [CONNECTIONS]\n");
    return 2;
  }
  std::atomic<std::int64_t> size{-1};
  lumora::TaskParam param;
  param.mode_flags = lumora::kModeDownload;
  param.url = argv[1];
  param.save_path = lumora::utf8_to_gbk(argv[2]);
  param.connections = argc == 4 ? std::atoi(argv[3]) : 10;
  param.connect_timeout_ms = 5000;
  param.send_timeout_ms = 5001;
  param.receive_timeout_ms = 10000;
  param.receive_block_size = 20480;
  const bool events = std::getenv("LUMORAFM_FETCH_EVENTS") != nullptr;
  const auto began = std::chrono::steady_clock::now();
  const auto seconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  };
  param.event_routine = [&](const lumora::TaskEvent& e, lumora::TaskContext&) {
    if (events) print_event(e, seconds());
    if (e.kind == lumora::TaskEventKind::kSizeKnown) size = e.value;
    return 0;
  };
  if (std::getenv("LUMORAFM_FETCH_LOG"))
    param.log_routine = [](const lumora::Text& time, const lumora::Text& text, int level) {
      std::fprintf(stderr, "%s [%d] %s\n", time.c_str(), level,
                   lumora::gbk_to_utf8(text).c_str());
    };
  const sigset_t signals = waited_signals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  lumora::Download download;
  if (!download.start_task(param)) {
    std::fprintf(stderr, "lumorafm-fetch: address not accepted\n");
    return 2;
  }
  std::thread waiter([&] {
    int signal = 0;
    sigwait(&signals, &signal);
    if (signal != SIGUSR1) download.stop_task();  // keeps the work for the next run
  });
  const bool progress = std::getenv("LUMORAFM_FETCH_PROGRESS") != nullptr;
  const auto step = std::chrono::milliseconds(progress ? 20 : 1000);
  double at90 = -1;
  std::optional<lumora::TaskResult> result;
  while (!(result = download.wait(step))) {
    if (at90 < 0 && size > 0 && download.received_bytes() * 10 >= size * 9) at90 = seconds();
  }
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  if (progress)
    std::fprintf(stderr, "progress: 90%% at %.2f s, 100%% at %.2f s\n", at90, seconds());
  if (result->outcome == lumora::TaskOutcome::kComplete) return 0;
  std::string reason = lumora::describe(result->failure);
  if (reason.empty())
    reason = result->outcome == lumora::TaskOutcome::kFailed ? "failed" : "stopped, work kept";
  std::fprintf(stderr, "lumorafm-fetch: %s: %s\n",
               lumora::gbk_to_utf8(result->final_path).c_str(), reason.c_str());
  return 1;
}
