#include "lumora/road/track_fetch.h"

#include <system_error>

#include "lumora/road/walk_task.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

// A file that could not be created is named; every other trouble (a full
// disk among them) is the engine's own words.
std::string trouble_text(const TaskFailure& f, const Text& path) {
  if (f.kind != FailureKind::kLocalFile || !f.creating) return describe(f);
  std::string text = "local file error: cannot create " + gbk_to_utf8(path);
  if (f.system_error != 0) text += ": " + std::generic_category().message(f.system_error);
  return text;
}

std::string reason_for(const TaskResult& r, std::optional<int> stall_seconds) {
  const std::string trouble = trouble_text(r.failure, r.final_path);
  switch (r.outcome) {
    case TaskOutcome::kFailed: return trouble.empty() ? "download failed" : trouble;
    case TaskOutcome::kStopped: return "interrupted";
    case TaskOutcome::kStalled: {
      const std::string window = std::to_string(stall_seconds.value_or(0)) + " s";
      // A stall without a trouble is a source that did answer, too slowly.
      if (trouble.empty()) return "less than 1 KiB in " + window;
      return "no answer for " + window + ": " + trouble;
    }
    default: return {};
  }
}

}  // namespace

TrackFetch::TrackFetch()
    : own_download_(std::make_unique<Download>()), download_(*own_download_) {}

TrackFetch::TrackFetch(Download& download) : download_(download) {}

FetchResult TrackFetch::run(const Text& address, const Text& path, int stall_seconds) {
  if (stop_) return {TaskOutcome::kStopped, path, "interrupted", {}};
  if (!start(address, path, stall_seconds))
    return {TaskOutcome::kFailed, path, "address not accepted: " + gbk_to_utf8(address), {}};
  if (stop_) download_.stop_task();  // a stop() that came before the task existed
  return *wait(kWaitForever);
}

bool TrackFetch::start(const Text& address, const Text& path, std::optional<int> stall_seconds) {
  size_ = -1;
  stall_seconds_ = stall_seconds;
  param_ = walk_task_param(address, path);
  param_.event_routine = [this](const TaskEvent& e, TaskContext&) {
    if (e.kind == TaskEventKind::kSizeKnown) size_ = e.value;
    return kNameAnswerRenumber;
  };
  if (stall_seconds) param_.stall_timeout_ms = *stall_seconds * 1000;
  param_.throughput_cap = throughput_cap_;
  param_.throughput_share = throughput_share_;
  return download_.start_task(param_);
}

std::optional<FetchResult> TrackFetch::wait(std::chrono::milliseconds limit) {
  const std::optional<TaskResult> r = download_.wait(limit);
  if (!r) return std::nullopt;
  return FetchResult{r->outcome, r->final_path, reason_for(*r, stall_seconds_), r->failure};
}

FetchProgress TrackFetch::progress() const { return {download_.received_bytes(), size_.load()}; }

void TrackFetch::stop() {
  stop_ = true;
  download_.stop_task();
}

}  // namespace lumora
