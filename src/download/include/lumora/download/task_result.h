// How a task ended, as one value its caller receives once (Download::wait).
#pragma once

#include <cstdint>

#include "lumora/download/task_failure.h"
#include "lumora/text/text.h"

namespace lumora {

// kComplete means every byte of a known size was stored, flushed and moved
// to its final name; kStopped keeps the working file and its record for a
// resume (working_file.h); kFailed removes both; kStalled (only with
// stall_timeout_ms) gave up on a source too slow or silent and keeps the
// work as kStopped does.
enum class TaskOutcome : int { kNone = 0, kComplete = 1, kFailed = 2, kStopped = 3, kStalled = 4 };

struct TaskResult {
  TaskOutcome outcome = TaskOutcome::kNone;
  // GBK. Complete: where the file lies, numbered when the asked name was
  // taken, even by a working file. Otherwise the name it was fetching under,
  // or the asked one when it never got that far.
  Text final_path;
  // Why it failed or stalled: the last trouble it met. Kind kNone when it
  // completed or was stopped, or failed without a trouble of its own
  // (turned off by kind 2, say).
  TaskFailure failure;
  // Bytes the task's file holds: the size when complete, what the working
  // file keeps after a stop or a stall, 0 after a failure (nothing is kept).
  std::int64_t stored = 0;
};

}  // namespace lumora
