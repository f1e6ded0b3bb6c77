#include "lumora/download/download.h"

#include <exception>
#include <utility>

#include "lumora/download/address.h"
#include "task.h"

namespace lumora {

Download::Download() = default;

Download::~Download() { stop_task(); }

std::shared_ptr<Task> Download::current() const {
  std::lock_guard lock(hold_mutex_);
  return task_;
}

bool Download::busy() const { return current() != nullptr; }

void Download::join_finished() {
  if (control_.joinable()) control_.join();
}

void Download::release_task(Task* task, TaskOutcome outcome) {
  const bool troubled = outcome == TaskOutcome::kFailed || outcome == TaskOutcome::kStalled;
  std::lock_guard lock(hold_mutex_);
  last_path_ = task->written_path();
  last_failure_ = troubled ? task->failure() : TaskFailure{};
  if (task_.get() == task) task_.reset();
}

bool Download::start_task(const TaskParam& param) {
  // From inside an event routine the running task still holds the object;
  // refusing before the lock also keeps a stop_task in progress from
  // waiting on the very thread that calls here.
  if (Task::on_any_engine_thread()) return false;
  std::lock_guard api(api_mutex_);
  if (current()) return false;
  join_finished();
  std::optional<Address> address = parse_address(param.url);
  if (!address) return false;
  std::shared_ptr<Task> task;
  try {
    TaskParam copy = param;
    copy.mode_flags |= kModeDownload;
    task = std::make_shared<Task>(next_id_++, std::move(copy), std::move(*address), &outcome_);
    {
      std::lock_guard lock(hold_mutex_);
      task_ = task;
    }
    control_ = std::thread([this, task] {
      task->run_control();
      release_task(task.get(), outcome_.load());
    });
  } catch (const std::exception&) {  // no memory or no thread: refused, no event
    std::lock_guard lock(hold_mutex_);
    task_.reset();
    return false;
  }
  return true;
}

Text Download::final_path() const {
  std::lock_guard lock(hold_mutex_);
  return last_path_;
}

TaskFailure Download::failure() const {
  std::lock_guard lock(hold_mutex_);
  return last_failure_;
}

std::int64_t Download::received_bytes() const {
  const auto task = current();
  return task ? task->received() : 0;
}

std::int64_t Download::take_recent_bytes() {
  const auto task = current();
  return task ? task->take_recent() : 0;
}

void Download::stop_task() {
  if (Task::on_any_engine_thread()) {
    if (const auto task = current()) task->request_stop();
    return;
  }
  std::lock_guard api(api_mutex_);
  if (const auto task = current()) task->request_stop();
  join_finished();
}

}  // namespace lumora
