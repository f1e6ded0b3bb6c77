#include "task.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "connection.h"
#include "log_text.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

thread_local const Task* tl_engine_task = nullptr;

constexpr auto kIdleWait = std::chrono::milliseconds(100);

}  // namespace

Task::Task(std::uint64_t id, TaskParam param, Address address)
    : id_(id), param_(std::move(param)), address_(std::move(address)) {}

Task::~Task() = default;

bool Task::on_engine_thread() const { return tl_engine_task == this; }
bool Task::on_any_engine_thread() { return tl_engine_task != nullptr; }
void Task::mark_engine_thread() const { tl_engine_task = this; }

void Task::request_stop() {
  stop_requested_ = true;
  stop_mark_ = true;
  stop_signal_.raise();
  queue_cv_.notify_all();
}

void Task::fail() {
  failed_ = true;
  stop_mark_ = true;
  stop_signal_.raise();
  queue_cv_.notify_all();
}

std::int64_t Task::received() const {
  if (!alive_) return 0;
  std::lock_guard lock(counter_mutex_);
  return received_;
}

std::int64_t Task::take_recent() {
  if (!alive_) return 0;
  std::lock_guard lock(counter_mutex_);
  return std::exchange(recent_, 0);
}

bool Task::size_known() const {
  std::lock_guard lock(counter_mutex_);
  return plan_.is_cut();
}

std::int64_t Task::size() const {
  std::lock_guard lock(counter_mutex_);
  return plan_.size();
}

// ---- messages ----

void Task::post(Message m) {
  {
    std::lock_guard lock(queue_mutex_);
    queue_.push_back(std::move(m));
  }
  queue_cv_.notify_one();
}

void Task::log(int level, Text message) {
  if (!logging()) return;
  Message m(Message::Type::kLog, level);
  m.time = log_time_text();
  m.text = std::move(message);
  post(std::move(m));
}

void Task::report_trouble(TaskFailure trouble) {
  {
    std::lock_guard lock(counter_mutex_);
    // Once failed, the connections' later words are echoes of the stop.
    if (!failed_) trouble_ = trouble;
  }
  log(kLogError, std::move(trouble.message));
}

void Task::post_event(TaskEventKind kind, int connection, std::int64_t value,
                      std::int64_t value2) {
  if (!param_.event_routine) return;
  post(Message(Message::Type::kEvent, 0, {kind, connection, value, value2}));
}

void Task::post_connection_ended(int connection) {
  post(Message(Message::Type::kEnded, connection));
}

std::optional<Task::Message> Task::next_message() {
  std::unique_lock lock(queue_mutex_);
  queue_cv_.wait_for(lock, kIdleWait, [this] { return !queue_.empty(); });
  if (queue_.empty()) return std::nullopt;
  Message m = std::move(queue_.front());
  queue_.pop_front();
  return m;
}

int Task::raise_direct(const TaskEvent& event, Text* save_path) {
  if (!param_.event_routine) return 0;
  std::lock_guard lock(event_mutex_);
  TaskContext context{id_, save_path ? *save_path : param_.save_path};
  const int answer = param_.event_routine(event, context);
  if (save_path) *save_path = context.save_path;
  return answer;
}

void Task::handle(Message& m) {
  switch (m.type) {
    case Message::Type::kOpen:
      open_connections(m.number);
      break;
    case Message::Type::kEvent:
      raise_direct(m.event);
      break;
    case Message::Type::kLog:
      param_.log_routine(m.time, m.text, m.number);
      break;
    case Message::Type::kEnded:
      join_connection(m.number);
      break;
  }
}

// ---- connections ----

void Task::open_connections(int count) {
  for (int i = 0; i < count && !stop_mark_; ++i) {
    const int id = next_connection_id_++;
    std::optional<std::size_t> piece;
    if (size_known()) {
      piece = take_piece(id);
      if (!piece) break;  // nothing left worth a connection
    }
    auto connection = std::make_unique<Connection>(*this, id, piece);
    try {
      connection->start();
    } catch (const std::system_error&) {
      if (piece) release_piece(*piece);
      if (connections_.empty()) fail();
      break;
    }
    ++open_connections_;
    connections_.push_back(std::move(connection));
  }
}

void Task::join_connection(int id) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if ((*it)->id() != id) continue;
    (*it)->join();
    connections_.erase(it);
    --open_connections_;
    return;
  }
}

std::optional<std::size_t> Task::take_piece(int connection) {
  std::optional<SegmentPlan::Handout> h;
  Segment taken;
  {
    std::lock_guard lock(counter_mutex_);
    if (!plan_.is_cut() || !(h = plan_.hand_out(connection))) return std::nullopt;
    taken = plan_.at(h->index);
  }
  post_event(TaskEventKind::kSegmentTaken, connection, taken.start, taken.length);
  if (h->shrunk)
    post_event(TaskEventKind::kSegmentShrunk, h->shrunk->owner, h->shrunk->start,
               h->shrunk->length);
  return h->index;
}

void Task::release_piece(std::size_t piece) {
  std::lock_guard lock(counter_mutex_);
  plan_.release(piece);
}

Segment Task::piece(std::size_t index) const {
  std::lock_guard lock(counter_mutex_);
  return plan_.at(index);
}

void Task::note_ranges_ignored() {
  std::lock_guard lock(counter_mutex_);
  plan_.stop_splitting();
}

std::int64_t Task::store(std::size_t piece, std::int64_t offset, const char* data,
                         std::size_t length) {
  std::int64_t n;
  {
    std::lock_guard lock(counter_mutex_);
    if (plan_.at(piece).next_offset() != offset) return kStoreBadOffset;
    n = plan_.reserve(piece, static_cast<std::int64_t>(length));
  }
  // The range [offset, offset + n) now belongs to this call alone: a split
  // only ever gives away bytes beyond the reserved ones.
  return settle(piece, file_.write(offset, data, static_cast<std::size_t>(n)), n);
}

std::int64_t Task::claim(std::size_t piece, std::size_t length, std::int64_t& offset) {
  std::lock_guard lock(counter_mutex_);
  offset = plan_.at(piece).next_offset();
  return plan_.reserve(piece, static_cast<std::int64_t>(length));
}

std::int64_t Task::store_claimed(std::size_t piece, std::int64_t offset, int pipe_fd,
                                 std::size_t length) {
  const bool written = length == 0 || file_.write_from_pipe(pipe_fd, offset, length);
  return settle(piece, written, static_cast<std::int64_t>(length));
}

std::int64_t Task::settle(std::size_t piece, bool written, std::int64_t n) {
  {
    std::lock_guard lock(counter_mutex_);
    plan_.commit(piece, written ? n : 0);
    if (written) {
      received_ += n;
      recent_ += n;
    }
  }
  if (!written) {
    report_trouble({FailureKind::kLocalFile, gbk(log_text::kCreateFailed), 0, file_.error()});
    fail();
    return kStoreFailed;
  }
  if (n > 0 && !size_event_raised_.exchange(true))
    raise_direct({TaskEventKind::kSizeKnown, 0, size()});
  return n;
}

void Task::on_upload_size(int connection, std::int64_t size, std::size_t& piece) {
  {
    std::lock_guard lock(counter_mutex_);
    plan_.cut(size, 1, connection);
  }
  piece = 0;
  post_event(TaskEventKind::kSegmentTaken, connection, 0, size);
}

void Task::count_sent(std::size_t piece, std::int64_t n) {
  {
    std::lock_guard lock(counter_mutex_);
    n = plan_.store(piece, n);
    received_ += n;
    recent_ += n;
  }
  if (!size_event_raised_.exchange(true)) raise_direct({TaskEventKind::kSizeKnown, 0, size()});
}

// ---- control thread ----

TaskResult Task::run_control() {
  tl_engine_task = this;
  prepare_resume();
  open_connections(1);
  last_progress_ = std::chrono::steady_clock::now();
  do {
    while (!connections_.empty()) {
      if (std::optional<Message> m = next_message()) handle(*m);
      save_record_if_due();
      give_up_if_stalled();
    }
    // Connections are gone; what they posted last is still queued.
    drain_queue();
  } while (start_over_if_changed());
  TaskOutcome outcome = finish();
  if (stalled_ && outcome == TaskOutcome::kStopped) outcome = TaskOutcome::kStalled;
  drain_queue();
  TaskResult result = result_of(outcome);
  std::int64_t value;
  {
    std::lock_guard lock(counter_mutex_);
    value = outcome == TaskOutcome::kComplete ? plan_.size() : plan_.received_total();
  }
  alive_ = false;
  raise_direct({TaskEventKind::kTaskEnded, 0, value});
  tl_engine_task = nullptr;
  return result;
}

TaskResult Task::result_of(TaskOutcome outcome) const {
  std::lock_guard lock(counter_mutex_);
  TaskResult r;
  r.outcome = outcome;
  r.final_path = written_path_;
  if (outcome == TaskOutcome::kFailed || outcome == TaskOutcome::kStalled) r.failure = trouble_;
  if (outcome == TaskOutcome::kComplete) r.stored = plan_.size();
  if (outcome == TaskOutcome::kStopped || outcome == TaskOutcome::kStalled)
    r.stored = plan_.received_total();
  return r;
}

void Task::give_up_if_stalled() {
  if (!param_.stall_timeout_ms || stop_mark_) return;
  const auto now = std::chrono::steady_clock::now();
  std::int64_t stored;
  {
    std::lock_guard lock(counter_mutex_);
    stored = received_;
  }
  // The window restarts once kStallFloor more bytes are stored (or the
  // count starts over with the file): a trickle never gets that far.
  if (stored - stall_mark_ >= kStallFloor || stored < stall_mark_) {
    stall_mark_ = stored;
    last_progress_ = now;
    return;
  }
  if (now - last_progress_ < std::chrono::milliseconds(*param_.stall_timeout_ms)) return;
  stalled_ = true;
  request_stop();
}

void Task::drain_queue() {
  while (true) {
    std::unique_lock lock(queue_mutex_);
    if (queue_.empty()) break;
    Message m = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    if (m.type != Message::Type::kOpen) handle(m);
  }
}

// A stop keeps the working file and its record for a resume; a failure
// removes both; only a whole, flushed file reaches its final name.
TaskOutcome Task::finish() {
  std::lock_guard lock(counter_mutex_);
  written_path_ = working_.final_path().empty() ? param_.save_path : working_.final_path();
  const bool whole = !failed_ && plan_.complete();
  // An upload has no file of its own to complete.
  const bool upload = (param_.mode_flags & kModeUpload) != 0;
  if (whole && (upload || finish_complete())) return TaskOutcome::kComplete;
  const bool stopped = stop_requested_ && !failed_;
  if (stopped && !whole && working_.held() && plan_.is_cut()) {
    const bool flushed = file_.flush();
    if (flushed && !resume_pending_) working_.save_record(record_locked(false));
    file_.close();
    working_.release();
    return TaskOutcome::kStopped;
  }
  file_.close();
  working_.discard();
  return stopped ? TaskOutcome::kStopped : TaskOutcome::kFailed;
}

}  // namespace lumora
