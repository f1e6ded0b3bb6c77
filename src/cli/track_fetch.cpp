#include "lumora/cli/track_fetch.h"

#include "lumora/queue/download_queue.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"

namespace lumora::cli {
namespace {

constexpr int kLogReceivedHead = 2;
constexpr int kLogErrorLevel = 3;

// The status code of an answer head: the three characters after "HTTP/1.x ".
int head_status(const Text& head) {
  if (head.size() < 12 || head.compare(0, 5, "HTTP/") != 0) return 0;
  return text_to_int(head.substr(9, 3));
}

}  // namespace

TrackFetch::TrackFetch() {
  param_.event_routine = [this](int kind, int, std::int64_t value, std::int64_t, TaskContext&) {
    return on_event(kind, value);
  };
  param_.log_routine = [this](const Text&, const Text& message, int level) {
    on_log(message, level);
  };
}

int TrackFetch::on_event(int kind, std::int64_t value) {
  if (kind == kEventSizeKnown) size_ = value;
  if (kind == kEventTaskEnded) {
    std::lock_guard lock(mutex_);
    ended_ = true;
    ended_cv_.notify_all();
  }
  return kNameAnswerRenumber;
}

void TrackFetch::on_log(const Text& message, int level) {
  std::lock_guard lock(mutex_);
  if (level == kLogReceivedHead && head_status(message) != 0) last_status_ = head_status(message);
  if (level == kLogErrorLevel) last_error_ = message;
}

FetchResult TrackFetch::run(const Text& address, const Text& path, int stall_seconds) {
  {
    std::lock_guard lock(mutex_);
    ended_ = false;
    last_status_ = 0;
    last_error_.clear();
  }
  size_ = -1;
  if (stop_) return {TaskOutcome::kStopped, path, "interrupted"};
  set_walk_task(param_, address, path);
  param_.stall_timeout_ms = stall_seconds * 1000;
  if (!download_.start_task(param_))
    return {TaskOutcome::kFailed, path, "address not accepted: " + gbk_to_utf8(address)};
  if (stop_) download_.stop_task();  // a stop() that came before the task existed
  {
    std::unique_lock lock(mutex_);
    ended_cv_.wait(lock, [this] { return ended_; });
  }
  download_.stop_task();  // joins the ended task's threads
  FetchResult result{download_.outcome(), download_.final_path(), {}};
  if (result.final_path.empty()) result.final_path = path;
  std::lock_guard lock(mutex_);
  if (result.outcome == TaskOutcome::kFailed) result.reason = failure_reason(result.final_path);
  if (result.outcome == TaskOutcome::kStopped) result.reason = "interrupted";
  if (result.outcome == TaskOutcome::kStalled) {
    result.reason = "no answer for " + std::to_string(stall_seconds) + " s";
    if (!last_error_.empty()) result.reason += ": " + error_text();
  }
  return result;
}

std::string TrackFetch::error_text() const {
  // Connecting fails at once (rather than timing out) when the port refuses.
  if (last_error_.find(gbk(u8"]失败")) != Text::npos && last_error_.rfind(gbk(u8"连接 ["), 0) == 0)
    return "connection refused";
  if (last_error_.rfind(gbk(u8"连接 ["), 0) == 0) return "connection timed out";
  return gbk_to_utf8(last_error_);
}

std::string TrackFetch::failure_reason(const Text& path) const {
  if (last_status_ >= 400) return "HTTP " + std::to_string(last_status_);
  if (last_error_ == gbk(u8"无法获得文件大小")) return "no size: the server gave no length";
  if (last_error_.rfind(gbk(u8"创建文件错误"), 0) == 0 ||
      last_error_ == gbk(u8"发现同名文件，超过系统自动更名次数"))
    return "local file error: cannot create " + gbk_to_utf8(path);
  if (!last_error_.empty()) return gbk_to_utf8(last_error_);
  return "download failed";
}

FetchProgress TrackFetch::progress() const { return {download_.received_bytes(), size_.load()}; }

void TrackFetch::stop() {
  stop_ = true;
  download_.stop_task();
}

}  // namespace lumora::cli
