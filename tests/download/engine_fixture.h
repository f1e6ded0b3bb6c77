// Shared pieces of the engine tests: a temporary folder, a recorder of task
// events and log lines that tests wait on with deadlines, and checksums.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "lumora/download/download.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/test_support/temp_folder.h"

namespace lumora::test {

// Thread-safe: the engine calls in from its threads.
class Recorder {
 public:
  // Fills the two routines of `param`; `name_answer` answers kind 18.
  void attach(TaskParam& param, int name_answer = kNameAnswerRenumber);
  // Waits for kind 4; false when `limit` passed first.
  bool wait_ended(std::chrono::milliseconds limit = std::chrono::seconds(60));
  // Waits for a first event of `kind`; false when `limit` passed first.
  bool wait_for(TaskEventKind kind, std::chrono::milliseconds limit = std::chrono::seconds(10));
  std::vector<TaskEvent> events() const;
  int count(TaskEventKind kind) const;
  std::vector<std::string> logs() const;  // UTF-8
  bool logged(const std::string& utf8) const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<TaskEvent> events_;
  std::vector<std::string> logs_;
  bool ended_ = false;
};

class EngineTest : public ::testing::Test {
 protected:
  void TearDown() override;
  // A parameter record as the queue fills it: ten connections, its time-outs.
  TaskParam param_for(const std::string& url, const std::string& name);
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::vector<std::string> files() const;  // names in the folder
  // The running task's result once it has ended; when `limit` passes
  // first, the test fails and the task is stopped.
  TaskResult finish(std::chrono::milliseconds limit = std::chrono::seconds(60));
  // Stops the running task; its result.
  TaskResult stop();
  // Starts a task for `url` saved as `name` and stops it once `bytes` are
  // stored (30 s at most).
  void stop_after(const std::string& url, const std::string& name, std::int64_t bytes);
  void stop_after(TaskParam p, std::int64_t bytes);
  // Runs `p` with `recorder` attached to its end; its result.
  TaskResult run_to_end(Recorder& recorder, TaskParam p,
                        std::chrono::milliseconds limit = std::chrono::seconds(60));

  TempFolder temp_{"lumora-engine"};  // outlives the task
  std::string dir_ = temp_.string();
  Recorder recorder_;
  Download download_;
};

using sim::file_sha256;

}  // namespace lumora::test
