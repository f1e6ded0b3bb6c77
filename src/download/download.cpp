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

void Download::release_task(Task* task, TaskResult result) {
  {
    std::lock_guard lock(hold_mutex_);
    result_ = std::move(result);
    result_thread_ = std::this_thread::get_id();
    if (task_.get() == task) task_.reset();
  }
  ended_cv_.notify_all();
}

bool Download::start_task(const TaskParam& param) {
  // From inside an event routine the running task still holds the object;
  // refusing before the lock also keeps a stop_task in progress from
  // waiting on the very thread that calls here.
  if (Task::on_any_engine_thread()) return false;
  std::lock_guard api(api_mutex_);
  if (current()) return false;
  join_finished();
  {
    std::lock_guard lock(hold_mutex_);
    result_.reset();  // a result nobody asked for ends with its task
  }
  std::optional<Address> address = parse_address(param.url);
  if (!address) return false;
  std::shared_ptr<Task> task;
  try {
    TaskParam copy = param;
    copy.mode_flags |= kModeDownload;
    task = std::make_shared<Task>(next_id_++, std::move(copy), std::move(*address));
    {
      std::lock_guard lock(hold_mutex_);
      task_ = task;
    }
    control_ = std::thread([this, task] { release_task(task.get(), task->run_control()); });
  } catch (const std::exception&) {  // no memory or no thread: refused, no event
    std::lock_guard lock(hold_mutex_);
    task_.reset();
    return false;
  }
  return true;
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

std::optional<TaskResult> Download::wait(std::chrono::milliseconds limit) {
  if (Task::on_any_engine_thread()) return std::nullopt;
  std::optional<TaskResult> result;
  std::thread::id ended_on;
  {
    std::unique_lock lock(hold_mutex_);
    const auto ended = [this] { return result_ || !task_; };
    if (limit == kWaitForever) ended_cv_.wait(lock, ended);
    else if (!ended_cv_.wait_for(lock, limit, ended)) return std::nullopt;
    result = std::exchange(result_, std::nullopt);
    ended_on = result_thread_;
  }
  if (!result) return std::nullopt;
  // Joins the thread that ended this task only: a start_task from another
  // thread meanwhile has joined it already and made a new one.
  std::lock_guard api(api_mutex_);
  if (control_.joinable() && control_.get_id() == ended_on) control_.join();
  return result;
}

}  // namespace lumora
