#include "engine_fixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>

#include "lumora/text/code_page.h"

namespace lumora::test {

void Recorder::attach(TaskParam& param, int name_answer) {
  param.event_routine = [this, name_answer](const TaskEvent& e, TaskContext&) {
    std::lock_guard lock(mutex_);
    events_.push_back(e);
    if (e.kind == TaskEventKind::kTaskEnded) ended_ = true;
    cv_.notify_all();
    return e.kind == TaskEventKind::kNameExists ? name_answer : 0;
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

bool Recorder::wait_for(TaskEventKind kind, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, limit, [&] {
    return std::any_of(events_.begin(), events_.end(),
                       [kind](const TaskEvent& e) { return e.kind == kind; });
  });
}

std::vector<TaskEvent> Recorder::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

int Recorder::count(TaskEventKind kind) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                        [kind](const TaskEvent& e) { return e.kind == kind; }));
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

void EngineTest::TearDown() { download_.stop_task(); }

TaskParam EngineTest::param_for(const std::string& url, const std::string& name) {
  TaskParam p;
  p.mode_flags = kModeDownload;
  p.url = url;
  p.save_path = utf8_to_gbk(path(name));
  p.connections = 10;
  // Test files are small: pieces down to 20 KiB keep several connections
  // at work on them. ConnectionCountTest keeps the engine's own minimum.
  p.min_piece = 20480;
  p.connect_timeout_ms = 5000;
  p.send_timeout_ms = 5001;
  p.receive_timeout_ms = 10000;
  p.stop_wait_ms = 1000;
  p.receive_block_size = 10240;
  recorder_.attach(p);
  return p;
}

TaskResult EngineTest::finish(std::chrono::milliseconds limit) {
  if (std::optional<TaskResult> r = download_.wait(limit)) return *r;
  ADD_FAILURE() << "the task did not end within " << limit.count() << " ms";
  return stop();
}

TaskResult EngineTest::stop() {
  download_.stop_task();
  std::optional<TaskResult> r = download_.wait(std::chrono::milliseconds(0));
  EXPECT_TRUE(r) << "no task to stop";
  return r.value_or(TaskResult{});
}

void EngineTest::stop_after(const std::string& url, const std::string& name,
                            std::int64_t bytes) {
  stop_after(param_for(url, name), bytes);
}

void EngineTest::stop_after(TaskParam p, std::int64_t bytes) {
  Recorder recorder;
  recorder.attach(p);
  ASSERT_TRUE(download_.start_task(p));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (download_.received_bytes() < bytes && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(download_.received_bytes(), bytes);
  ASSERT_EQ(stop().outcome, TaskOutcome::kStopped);
}

TaskResult EngineTest::run_to_end(Recorder& recorder, TaskParam p,
                                  std::chrono::milliseconds limit) {
  recorder.attach(p);
  if (!download_.start_task(p)) {
    ADD_FAILURE() << "the task was not started";
    return {};
  }
  return finish(limit);
}

std::vector<std::string> EngineTest::files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}


}  // namespace lumora::test
