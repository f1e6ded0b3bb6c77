// lumorafm-fetch URL PATH [CONNECTIONS]: one download task from the command
// line, for benchmarks. Exit 0 only when the file is complete.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "lumora/download/download.h"
#include "lumora/text/code_page.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: lumorafm-fetch URL PATH [CONNECTIONS]\n");
    return 2;
  }
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
  param.event_routine = [&](int kind, int, std::int64_t, std::int64_t, lumora::TaskContext&) {
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
  lumora::Download download;
  if (!download.start_task(param)) {
    std::fprintf(stderr, "lumorafm-fetch: address not accepted\n");
    return 2;
  }
  {
    std::unique_lock lock(mutex);
    ended_cv.wait(lock, [&] { return ended; });
  }
  download.stop_task();  // joins the finished task's threads
  return download.outcome() == lumora::TaskOutcome::kComplete ? 0 : 1;
}
