// One track through one Download object, with the walk's task settings
// (walk_task.h), and why it failed when it did, from the engine's failure
// record (never from its log).
//
// A TrackFetch belongs to one thread, its owner: run(), start(), wait() and
// task_param() are called there; progress(), take_recent_bytes(), busy()
// and stop() may be called from any thread meanwhile.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "lumora/download/download.h"
#include "lumora/download/task_param.h"
#include "lumora/text/text.h"

namespace lumora {

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
  // Fetches through a Download object of its own.
  TrackFetch();
  // Fetches through `download`, which outlives the fetch and is used by
  // nothing else while a fetch runs.
  explicit TrackFetch(Download& download);
  TrackFetch(const TrackFetch&) = delete;
  TrackFetch& operator=(const TrackFetch&) = delete;

  // Downloads `address` to the GBK `path`, blocking until the task ends.
  // Returns at once with kFailed when the engine refuses the address.
  // `stall_seconds`: the task gives up when it stores less than 1 KiB in
  // that long (kStalled, its work kept).
  FetchResult run(const Text& address, const Text& path, int stall_seconds);

  // The same task started without waiting for it, for a caller that keeps
  // its own thread busy meanwhile: false when the engine refuses it (then
  // wait() gives nothing). Without `stall_seconds` the task never gives up
  // for slowness.
  bool start(const Text& address, const Text& path,
             std::optional<int> stall_seconds = std::nullopt);
  // How the started task ended, once it has, waiting up to `limit`; nothing
  // while it still runs. Once per task.
  std::optional<FetchResult> wait(std::chrono::milliseconds limit);

  FetchProgress progress() const;
  // Bytes stored since the last call.
  std::int64_t take_recent_bytes() { return download_.take_recent_bytes(); }
  // True from start() until the task has ended.
  bool busy() const { return download_.busy(); }
  // The settings the last start() handed to the engine.
  const TaskParam& task_param() const { return param_; }

  // Bytes per second the next task may take over all its connections; 0
  // (the default) for no limit.
  void set_throughput_cap(int bytes_per_second) { throughput_cap_ = bytes_per_second; }
  // A cap the next task shares with others (TaskParam::throughput_share),
  // in place of its own; nullptr (the default) for none.
  void set_throughput_share(ThroughputShare* share) { throughput_share_ = share; }
  // Stops the running task (its work is kept as the engine keeps it) and
  // makes the next run() return kStopped at once. Any thread.
  void stop();

 private:
  // Declared first so that they outlive an own Download's last event.
  std::atomic<std::int64_t> size_{-1};
  std::atomic<bool> stop_{false};
  int throughput_cap_ = 0;
  ThroughputShare* throughput_share_ = nullptr;
  std::optional<int> stall_seconds_;
  std::unique_ptr<Download> own_download_;
  Download& download_;
  TaskParam param_;
};

}  // namespace lumora
