// The parameter record of one download task and the routines it carries.
//
// The caller fills a TaskParam and hands it to Download::start_task, which
// copies it; the record may be changed or reused at once afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "lumora/download/segment_plan.h"
#include "lumora/download/throughput_share.h"
#include "lumora/text/text.h"

namespace lumora {

// Event kinds raised to the event routine.
enum class TaskEventKind : int {
  kModeDecision = 2,         // value: size; only with mode bit 0x10; see below
  kSizeKnown = 3,            // value: file size; once per task
  kTaskEnded = 4,            // value: size (or bytes after a stop); last
  kConnectionStarted = 5,    // value: connection id
  kSegmentTaken = 6,         // value: start, value2: length
  kSegmentShrunk = 7,        // value: start, value2: new length
  kConnectionStopped = 8,    // asked to end by a stop
  kConnectionEnded = 9,      // value: 1 when its work was done
  kBytesStored = 16,         // value: bytes, value2: file offset
  kSegmentDone = 17,         // value: start, value2: length
  kNameExists = 18,          // value: existing size, value2: file size
};

// One event of a task: what happened, on which connection (0: the task's
// own), and the two values its kind gives meaning to.
struct TaskEvent {
  TaskEventKind kind = TaskEventKind::kTaskEnded;
  int connection = 0;
  std::int64_t value = 0;
  std::int64_t value2 = 0;
};

// Kind 2 comes once the size is known, before the file is made. Its answer
// becomes the task's mode flags: the download goes on only while they hold
// kModeDownload, otherwise the task ends failed without a file.

// Answers to kind 18.
inline constexpr int kNameAnswerRenumber = 0;
inline constexpr int kNameAnswerGiveUp = 1;
inline constexpr int kNameAnswerChanged = 2;

// What the event routine sees of its task. `save_path` may be rewritten by
// the routine during kind 18 when it answers kNameAnswerChanged.
struct TaskContext {
  std::uint64_t id = 0;  // distinct per started task
  Text save_path;
};

// Called on engine threads, possibly from two of them at once (kind 3 and 18
// come from a connection thread, the others from the task's control thread).
// Must not block for long. Kind 4 comes last; the task still holds the
// Download object while it runs, so a start_task from inside it is refused.
using EventRoutine = std::function<int(const TaskEvent& event, TaskContext& task)>;
// Log lines: local time text, message (GBK), level 0 progress, 1 request or
// command sent, 2 answer received, 3 error. Called on the control thread.
using LogRoutine = std::function<void(const Text& time, const Text& message, int level)>;

inline constexpr int kModeDownload = 0x1000;
// Less than this stored within stall_timeout_ms is a stall.
inline constexpr std::int64_t kStallFloor = 1024;
inline constexpr int kModeUpload = 0x2000;
inline constexpr int kModeAskAfterSize = 0x10;

struct TaskParam {
  int mode_flags = 1;
  Text url;
  Text save_path;  // GBK; ends in "/" to take the name from the answer
  Text ftp_user = "anonymous";
  Text ftp_password = "guest@example.com";
  int connections = 1;
  // Bytes: no piece a connection is given is smaller, so a file under two
  // pieces is fetched over the connection that learnt its size alone.
  std::int64_t min_piece = SegmentPlan::kMinPiece;
  int throughput_cap = 0;  // bytes per second over all connections; 0 = none
  // Given: the task's cap is the share's part for one member, looked up
  // each time a connection paces, in place of throughput_cap. The caller
  // makes the task a member while it runs; the share outlives the task.
  ThroughputShare* throughput_share = nullptr;
  int connect_timeout_ms = 20000;
  int send_timeout_ms = 20000;
  int receive_timeout_ms = 20000;
  int stop_wait_ms = 1000;
  // A connection's failed attempt is tried again after retry_wait_ms, at
  // most max_retries times in a row (a finished piece starts the count
  // over); then the connection ends.
  int retry_wait_ms = 5000;
  int max_retries = 999;
  int receive_block_size = 20480;  // clipped to the 20480-byte connection buffer
  int send_block_size = 1024;      // uploads only, which this engine does not do
  LogRoutine log_routine;
  EventRoutine event_routine;
  Text ftp_text;
  int ftp_transfer_mode = 1;  // 1 binary, 2 ASCII, 3 by binary_extensions
  Text binary_extensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
  std::optional<Text> proxy;    // host[:port], port 80 when absent
  std::optional<Text> referer;  // none: the address up to its last "/"
  // Given: the task gives up (kStalled, its work kept) once it has stored
  // less than kStallFloor bytes in this long, whatever its connections are
  // retrying or receiving meanwhile. None: it never does.
  std::optional<int> stall_timeout_ms;
};

}  // namespace lumora
