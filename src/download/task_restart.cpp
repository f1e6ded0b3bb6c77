// A file that changes on the server while a task fetches it: told by the
// validators of the answers, answered by starting the task over.
#include "log_text.h"
#include "lumora/text/code_page.h"
#include "task.h"

namespace lumora {
namespace {

constexpr int kMaxRestarts = 2;

// A validator tells two versions apart only when both answers carry it.
// A server that sends neither ETag nor Last-Modified gives nothing to
// compare: a change there goes unseen unless the size changes with it.
bool differs(const Text& first, const Text& later) {
  return !first.empty() && !later.empty() && first != later;
}

}  // namespace

bool Task::same_version(const AnswerHead& answer) {
  bool again;
  {
    std::lock_guard lock(counter_mutex_);
    if (changed_) return false;  // already starting over
    if (!differs(etag_, answer.etag) && !differs(last_modified_, answer.last_modified))
      return true;
    changed_ = true;
    again = restarts_ < kMaxRestarts;
    if (again) ++restarts_;
  }
  if (!again) {
    report_trouble({FailureKind::kFileChanging, gbk(log_text::kFileKeepsChanging)});
    fail();
    return false;
  }
  log(kLogError, gbk(log_text::kFileChanged));
  // Every connection ends; the control thread then starts over.
  stop_mark_ = true;
  stop_signal_.raise();
  queue_cv_.notify_all();
  return false;
}

bool Task::start_over_if_changed() {
  {
    std::lock_guard lock(counter_mutex_);
    if (!changed_) return false;
  }
  // Lowered first, so a stop or failure that comes meanwhile raises it again.
  stop_mark_ = false;
  stop_signal_.lower();
  {
    std::lock_guard lock(counter_mutex_);
    // Bytes of two versions are no work to keep for a resume.
    file_.close();
    working_.discard();
    if (stop_requested_ || failed_) {
      stop_mark_ = true;
      stop_signal_.raise();
      return false;
    }
    changed_ = false;
    plan_ = SegmentPlan(param_.min_piece);
    received_ = 0;
    recent_ = 0;
    etag_.clear();
    last_modified_.clear();
    resume_pending_ = false;
    saved_done_ = 0;
    last_save_ = {};
  }
  open_connections(1);
  return true;
}

}  // namespace lumora
