#include "lumora/cli/track_fetch.h"

#include <cerrno>
#include <system_error>

#include "lumora/queue/download_queue.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

// What went wrong, in the words a script's reader expects; the engine's own
// line (GBK) for the kinds without a shorter name.
std::string trouble_text(const TaskFailure& f, const Text& path) {
  switch (f.kind) {
    case FailureKind::kHttpStatus: return "HTTP " + std::to_string(f.http_status);
    case FailureKind::kNoSize: return "no size: the server gave no length";
    case FailureKind::kLocalFile: return "local file error: cannot create " + gbk_to_utf8(path);
    case FailureKind::kResolveFailed: return "host name not found";
    case FailureKind::kConnectFailed:
      if (f.system_error == ECONNREFUSED) return "connection refused";
      if (f.system_error != 0)
        return "cannot connect: " + std::generic_category().message(f.system_error);
      return "cannot connect";
    case FailureKind::kConnectTimeout: return "connection timed out";
    case FailureKind::kNoAnswer: return "the server stopped answering";
    case FailureKind::kNone: return {};
    default: return gbk_to_utf8(f.message);
  }
}

}  // namespace

TrackFetch::TrackFetch() {
  param_.event_routine = [this](int kind, int, std::int64_t value, std::int64_t, TaskContext&) {
    return on_event(kind, value);
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

FetchResult TrackFetch::run(const Text& address, const Text& path, int stall_seconds) {
  {
    std::lock_guard lock(mutex_);
    ended_ = false;
  }
  size_ = -1;
  if (stop_) return {TaskOutcome::kStopped, path, "interrupted"};
  set_walk_task(param_, address, path);
  param_.stall_timeout_ms = stall_seconds * 1000;
  param_.throughput_cap = throughput_cap_;
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
  const std::string trouble = trouble_text(download_.failure(), result.final_path);
  if (result.outcome == TaskOutcome::kFailed)
    result.reason = trouble.empty() ? "download failed" : trouble;
  if (result.outcome == TaskOutcome::kStopped) result.reason = "interrupted";
  if (result.outcome == TaskOutcome::kStalled) {
    result.reason = "no answer for " + std::to_string(stall_seconds) + " s";
    if (!trouble.empty()) result.reason += ": " + trouble;
  }
  return result;
}

FetchProgress TrackFetch::progress() const { return {download_.received_bytes(), size_.load()}; }

void TrackFetch::stop() {
  stop_ = true;
  download_.stop_task();
}

}  // namespace lumora::cli
