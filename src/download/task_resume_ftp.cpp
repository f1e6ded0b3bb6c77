// Resuming FTP tasks: where their working file lies before the server has
// said anything, and the check of the first session against the record.
#include <algorithm>

#include "task.h"

namespace lumora {

// An FTP answer never names the file, so a folder path gets the address's
// last part as it would on a fresh start; an HTTP answer may, so a folder
// path there is settled only by the answer.
Text Task::resume_path() const {
  const Text& path = param_.save_path;
  if (path.empty() || (param_.mode_flags & kModeUpload)) return {};
  if (address_.scheme == Scheme::kFtp) {
    Text settled = settle_path({});
    return settled.back() == '/' ? Text() : settled;
  }
  if (!is_http(address_.scheme) || path.back() == '/') return {};
  return path;
}

// FTP has no validator the session already asks for: a file changed on the
// server at the same size cannot be told apart here.
bool Task::confirm_resume_by_size(std::int64_t size, bool resumable) {
  {
    std::lock_guard lock(counter_mutex_);
    if (!resume_pending_) return true;
    resume_pending_ = false;
    if (!resumable || size != plan_.size()) {
      abandon_resume();
      return false;
    }
  }
  // Only the first connection ran while the stored bytes were unconfirmed.
  post(Message(Message::Type::kOpen,
               std::clamp(param_.connections, 1, SegmentPlan::kMaxSegments) - 1));
  return true;
}

}  // namespace lumora
