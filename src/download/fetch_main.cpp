// lumorafm-fetch URL PATH [CONNECTIONS]: one download task from the command
// line, for benchmarks. Exit 0 only when the file is complete.
// LUMORAFM_FETCH_LOG=1 prints the engine's log on standard error;
// LUMORAFM_FETCH_PROGRESS=1 prints when 90 % and 100 % were stored.
// LUMORAFM_FETCH_EVENTS=1 prints every event with its time since the start
// (kind, connection, value, value2): a timeline of the connections.
// SIGTERM or SIGINT stops the task the way the program's own end does: the
// working file and its record stay for the next run to resume.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "lumora/download/download.h"
#include "lumora/text/code_page.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: lumorafm-fetch URL PATH [CONNECTIONS]\n");
    return 2;
  }
  std::atomic<std::int64_t> size{-1};
  std::mutex mutex;
  std::condition_variable ended_cv;
  bool ended = false;
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
  param.event_routine = [&](int kind, int connection, std::int64_t value, std::int64_t value2,
                            lumora::TaskContext&) {
    if (events)
      std::fprintf(stderr, "event %.3f %d %d %lld %lld\n",
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(),
                   kind, connection, static_cast<long long>(value),
                   static_cast<long long>(value2));
    if (kind == lumora::kEventSizeKnown) size = value;
    if (kind == lumora::kEventTaskEnded) {
      std::lock_guard lock(mutex);
      ended = true;
      ended_cv.notify_all();
    }
    return 0;
  };
  if (std::getenv("LUMORAFM_FETCH_LOG"))
    param.log_routine = [](const lumora::Text& time, const lumora::Text& text, int level) {
      std::fprintf(stderr, "%s [%d] %s\n", time.c_str(), level,
                   lumora::gbk_to_utf8(text).c_str());
    };
  // Blocked before any thread exists, so only the waiter below takes them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  bool stop_asked = false;
  std::thread([&] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    std::lock_guard lock(mutex);
    stop_asked = true;
    ended_cv.notify_all();
  }).detach();
  lumora::Download download;
  if (!download.start_task(param)) {
    std::fprintf(stderr, "lumorafm-fetch: address not accepted\n");
    return 2;
  }
  const bool progress = std::getenv("LUMORAFM_FETCH_PROGRESS") != nullptr;
  double at90 = -1;
  {
    std::unique_lock lock(mutex);
    const auto step = std::chrono::milliseconds(progress ? 20 : 1000);
    while (!ended_cv.wait_for(lock, step, [&] { return ended || stop_asked; })) {
      if (at90 < 0 && size > 0 && download.received_bytes() * 10 >= size * 9)
        at90 = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    }
  }
  if (progress) {
    const double at100 =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::fprintf(stderr, "progress: 90%% at %.2f s, 100%% at %.2f s\n", at90, at100);
  }
  download.stop_task();  // joins the task's threads; keeps the work when stopped
  return download.outcome() == lumora::TaskOutcome::kComplete ? 0 : 1;
}
