// The download engine object: holds at most one running task.
//
// All member functions are meant for one caller thread (the program's UI
// thread); they are also safe from other threads. A task runs on a control
// thread of its own plus one thread per connection; every thread ends by
// itself and is joined, none is ever killed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "lumora/download/task_param.h"
#include "lumora/download/task_result.h"

namespace lumora {

class Task;

// A wait() limit that never passes.
inline constexpr std::chrono::milliseconds kWaitForever = std::chrono::milliseconds::max();

class Download {
 public:
  Download();
  // Stops a running task and waits for its threads.
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  // Copies `param` and starts the task. The file is fetched under its
  // working name and reaches its final name only when complete; a working
  // file and record left by a stopped or killed task for the same final
  // name and address are resumed (working_file.h). False, with no event ever raised,
  // when a task is still held, the address is not accepted (an unknown
  // scheme, no "/" after the host, a bad port) or threads cannot be made.
  // "https://" addresses are fetched over TLS, their certificates checked
  // against the system's trust store (tls_client.h).
  bool start_task(const TaskParam& param);
  // Bytes stored so far; 0 when no task is alive.
  std::int64_t received_bytes() const;
  // Bytes stored since the last call, cleared in the same locked step.
  std::int64_t take_recent_bytes();
  // Stops the running task: every connection notices within about 10 ms,
  // the data is flushed and the record beside the working file saved, so a
  // later task for the same name and address resumes it; kind 4 is raised,
  // and the call returns once the task's threads are joined. Its result
  // stays for wait(). From inside an event routine it only marks the stop.
  void stop_task();

  // Waits up to `limit` for the task to end, joins its threads and hands
  // over how it ended. Once per task: a later call, or one with no task
  // started, gives nothing at once, as does a call from inside an event
  // routine. Nothing either when the limit passes first.
  std::optional<TaskResult> wait(std::chrono::milliseconds limit);
  // True from start_task until kind 4 has been raised and the hold cleared;
  // from then on wait() hands the result over at once.
  bool busy() const;

 private:
  void release_task(Task* task, TaskResult result);
  std::shared_ptr<Task> current() const;
  void join_finished();

  std::mutex api_mutex_;  // serialises start_task, stop_task and the join in wait
  mutable std::mutex hold_mutex_;
  std::shared_ptr<Task> task_;  // the hold, cleared by the control thread
  std::thread control_;
  std::condition_variable ended_cv_;  // with hold_mutex_: a result came
  std::optional<TaskResult> result_;  // hold_mutex_; until wait() takes it
  std::thread::id result_thread_;     // hold_mutex_: the control thread that gave it
  std::uint64_t next_id_ = 1;
};

}  // namespace lumora
