// One track through one Download object, with the window program's task
// settings (ten connections, its time-outs), and why it failed when it did,
// from the engine's failure record (never from its log).
//
// A TrackFetch belongs to one job thread: run() is called on it; progress()
// and stop() may be called from any thread meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "lumora/download/download.h"
#include "lumora/download/task_param.h"
#include "lumora/text/text.h"

namespace lumora::cli {

struct FetchResult {
  TaskOutcome outcome = TaskOutcome::kNone;
  Text final_path;      // GBK; the engine's TaskResult::final_path
  std::string reason;   // UTF-8; why it did not complete
  TaskFailure failure;  // the engine's, for a caller that words it itself
};

struct FetchProgress {
  std::int64_t received = 0;
  std::int64_t size = -1;  // -1 until known
};

class TrackFetch {
 public:
  TrackFetch();
  TrackFetch(const TrackFetch&) = delete;
  TrackFetch& operator=(const TrackFetch&) = delete;

  // Downloads `address` to the GBK `path`, blocking until the task ends.
  // Returns at once with kFailed when the engine refuses the address.
  // `stall_seconds`: the task gives up when it stores less than 1 KiB in
  // that long (kStalled, its work kept).
  FetchResult run(const Text& address, const Text& path, int stall_seconds);
  FetchProgress progress() const;
  // Bytes per second the next run() may take over all its connections; 0
  // (the default) for no limit.
  void set_throughput_cap(int bytes_per_second) { throughput_cap_ = bytes_per_second; }
  // Stops the running task (its work is kept as the engine keeps it) and
  // makes the next run() return kStopped at once. Any thread.
  void stop();

 private:
  Download download_;
  TaskParam param_;
  std::atomic<std::int64_t> size_{-1};
  std::atomic<bool> stop_{false};
  int throughput_cap_ = 0;
};

}  // namespace lumora::cli
