// The download engine object: holds at most one running task.
//
// All member functions are meant for one caller thread (the program's UI
// thread); they are also safe from other threads. A task runs on a control
// thread of its own plus one thread per connection; every thread ends by
// itself and is joined, none is ever killed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "lumora/download/task_failure.h"
#include "lumora/download/task_param.h"

namespace lumora {

class Task;

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
  // and the call returns once the task's threads are joined. From inside an
  // event routine it only marks the stop.
  void stop_task();

  // How the last ended task ended; kNone before the first one ends.
  TaskOutcome outcome() const { return outcome_.load(); }
  // The path the last ended task wrote (GBK): where its file lies when
  // complete, numbered when the asked name was taken, even by a working
  // file; else the name it was fetching under. Valid once busy() is false
  // (after stop_task returns, say); empty before the first task ends.
  Text final_path() const;
  // Why the last ended task failed or stalled: the last trouble it met
  // (task_failure.h). Kind kNone when it completed or was stopped, or when
  // it failed without a trouble of its own (turned off by kind 2, say).
  // Valid when final_path() is.
  TaskFailure failure() const;
  // True from start_task until kind 4 has been raised and the hold cleared.
  bool busy() const;

 private:
  void release_task(Task* task, TaskOutcome outcome);
  std::shared_ptr<Task> current() const;
  void join_finished();

  std::mutex api_mutex_;  // serialises start_task and stop_task
  mutable std::mutex hold_mutex_;
  std::shared_ptr<Task> task_;  // the hold, cleared by the control thread
  std::thread control_;
  std::atomic<TaskOutcome> outcome_{TaskOutcome::kNone};
  Text last_path_;            // hold_mutex_
  TaskFailure last_failure_;  // hold_mutex_
  std::uint64_t next_id_ = 1;
};

}  // namespace lumora
