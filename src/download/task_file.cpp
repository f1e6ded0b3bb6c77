// The task's local file: its name, creation, and the cut of the plan once
// the first connection has learnt the size.
#include "log_text.h"
#include "lumora/download/side_files.h"
#include "lumora/text/code_page.h"
#include "task.h"

namespace lumora {

Text Task::settle_path(std::string_view answer_name) const {
  Text path = param_.save_path;
  if (path.empty() || path.back() != '/') return path;
  if (!answer_name.empty()) return path + Text(answer_name);
  const auto slash = address_.path.rfind('/');
  return path + address_.path.substr(slash + 1);
}

bool Task::create_file(int connection, std::int64_t size, Text path) {
  using namespace log_text;
  std::int64_t existing = 0;
  bool renumber = false;
  const Text asked = path;
  if (path_exists(path, &existing)) {
    const int answer =
        raise_direct({TaskEventKind::kNameExists, connection, existing, size}, &path);
    if (answer == kNameAnswerGiveUp) {
      log(kLogProgress, gbk(kGaveUp));
      return false;
    }
    if (answer == kNameAnswerChanged) {
      log(kLogProgress, format_log(gbk(kUserRenamed), {path}));
    } else {
      renumber = true;
    }
  }
  if (!take_working_file(size, path, renumber)) return false;
  // take_working_file may number the name itself (another task holds its working file).
  if (path != asked) log(kLogProgress, format_log(gbk(kRenamed), {path}));
  return true;
}

// Numbering looks at final names only; a working file another task holds
// sends this one to the next number too.
bool Task::take_working_file(std::int64_t size, Text& path, bool renumber) {
  using namespace log_text;
  for (int tries = 0;; ++tries) {
    if (renumber) {
      if (tries == kMaxRenames) {
        report_trouble({.kind = FailureKind::kLocalFile, .message = gbk(kTooManyRenames),
                        .creating = true});
        return false;
      }
      path = numbered_name(path);
      if (path_exists(path)) continue;
    }
    const WorkingFile::Take t = working_.take(path, true);
    if (t == WorkingFile::Take::kTaken) break;
    if (t == WorkingFile::Take::kFailed) {
      report_trouble({.kind = FailureKind::kLocalFile, .message = gbk(kCreateFailed),
                      .system_error = working_.error(), .creating = true});
      return false;
    }
    renumber = true;
  }
  if (!working_.reserve_fresh(size) ||
      !file_.adopt(working_.duplicate(), path + Text(kWorkingSuffix), size)) {
    report_trouble({FailureKind::kLocalFile, gbk(kCreateFailed), 0, working_.error()});
    working_.discard();
    return false;
  }
  return true;
}

// Asked before the file exists, so that turning the download off leaves
// nothing behind.
bool Task::decide_mode(int connection, std::int64_t size) {
  if (!(param_.mode_flags & kModeAskAfterSize) || !param_.event_routine) return true;
  mode_flags_ = raise_direct({TaskEventKind::kModeDecision, connection, size});
  return (mode_flags_ & kModeDownload) != 0;
}

bool Task::on_size_known(int connection, std::int64_t size, std::string_view answer_name,
                         int connections, std::size_t& piece) {
  if (!decide_mode(connection, size)) return false;
  // Only the first connection exists until the plan is cut, so the file is
  // made without the counter lock (kind 18's routine may read the counters).
  if (!create_file(connection, size, settle_path(answer_name))) return false;
  std::int64_t first_length;
  int further;
  {
    std::lock_guard lock(counter_mutex_);
    plan_.cut(size, connections, connection);
    first_length = plan_.at(0).length;
    further = static_cast<int>(plan_.count()) - 1;
  }
  piece = 0;
  if (size == 0 && !size_event_raised_.exchange(true)) raise_direct({TaskEventKind::kSizeKnown});
  post_event(TaskEventKind::kSegmentTaken, connection, 0, first_length);
  post(Message(Message::Type::kOpen, further));
  return true;
}

}  // namespace lumora
