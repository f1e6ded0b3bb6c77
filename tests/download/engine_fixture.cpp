#include "engine_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "lumora/text/code_page.h"

namespace lumora::test {

void Recorder::attach(TaskParam& param, int name_answer) {
  param.event_routine = [this, name_answer](int kind, int connection, std::int64_t value,
                                            std::int64_t value2, TaskContext&) {
    std::lock_guard lock(mutex_);
    events_.push_back({kind, connection, value, value2});
    if (kind == kEventTaskEnded) {
      ended_ = true;
      cv_.notify_all();
    }
    return kind == kEventNameExists ? name_answer : 0;
  };
  param.log_routine = [this](const Text&, const Text& message, int) {
    std::lock_guard lock(mutex_);
    logs_.push_back(gbk_to_utf8(message));
  };
}

bool Recorder::wait_ended(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, limit, [this] { return ended_; });
}

std::vector<RecordedEvent> Recorder::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

int Recorder::count(int kind) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                        [kind](const RecordedEvent& e) { return e.kind == kind; }));
}

std::vector<std::string> Recorder::logs() const {
  std::lock_guard lock(mutex_);
  return logs_;
}

bool Recorder::logged(const std::string& utf8) const {
  std::lock_guard lock(mutex_);
  return std::any_of(logs_.begin(), logs_.end(),
                     [&](const std::string& l) { return l.find(utf8) != std::string::npos; });
}

TaskOutcome Recorder::outcome() const {
  std::lock_guard lock(mutex_);
  for (const RecordedEvent& e : events_)
    if (e.kind == kEventTaskEnded) return static_cast<TaskOutcome>(e.value2);
  return TaskOutcome::kNone;
}

void EngineTest::SetUp() {
  char pattern[] = "/tmp/lumora-engine-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  dir_ = pattern;
}

void EngineTest::TearDown() {
  download_.stop_task();
  std::filesystem::remove_all(dir_);
}

TaskParam EngineTest::param_for(const std::string& url, const std::string& name) {
  TaskParam p;
  p.mode_flags = kModeDownload;
  p.url = url;
  p.save_path = utf8_to_gbk(path(name));
  p.connections = 10;
  p.connect_timeout_ms = 5000;
  p.send_timeout_ms = 5001;
  p.receive_timeout_ms = 10000;
  p.stop_wait_ms = 1000;
  p.receive_block_size = 10240;
  recorder_.attach(p);
  return p;
}

void EngineTest::run_to_end(Recorder& recorder, TaskParam p, std::chrono::milliseconds limit) {
  recorder.attach(p);
  EXPECT_TRUE(download_.start_task(p));
  EXPECT_TRUE(recorder.wait_ended(limit));
  download_.stop_task();
}

std::vector<std::string> EngineTest::files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}


}  // namespace lumora::test
