// Resuming a task from its working file and record, and keeping the record
// up to date while the task runs.
#include <algorithm>

#include "link.h"
#include "log_text.h"
#include "lumora/download/side_files.h"
#include "lumora/text/code_page.h"
#include "task.h"

namespace lumora {
namespace {

constexpr auto kRecordInterval = std::chrono::seconds(1);

std::vector<Segment> to_segments(const std::vector<RecordedSegment>& recorded) {
  std::vector<Segment> out;
  for (const RecordedSegment& r : recorded) {
    Segment s;
    s.start = r.start;
    s.length = r.length;
    s.received = r.received;
    out.push_back(s);
  }
  return out;
}

bool answer_matches(const AnswerHead& a, std::int64_t asked, std::int64_t size,
                    const Text& etag, const Text& last_modified) {
  if (a.status != 206) return false;
  const auto range = parse_content_range(a.content_range);
  return range && range->first == asked && range->total == size &&
         (etag.empty() || a.etag == etag) &&
         (last_modified.empty() || a.last_modified == last_modified);
}

}  // namespace

void Task::prepare_resume() {
  const Text path = resume_path();
  if (path.empty() || path_exists(path)) return;
  const Text working = path + Text(kWorkingSuffix);
  const WorkingFile::Take taken = working_.take(path, false);
  if (taken == WorkingFile::Take::kFailed)
    report_trouble({FailureKind::kLocalFile, format_log(gbk(log_text::kOpenFailed), {working}), 0,
                    working_.error()});
  if (taken != WorkingFile::Take::kTaken) return;
  const std::optional<ResumeRecord> record = working_.load_record();
  if (!record || record->address != param_.url || !working_.reserve_again(record->size)) {
    working_.release();
    return;
  }
  if (!file_.adopt(working_.duplicate(), working, record->size)) {
    report_trouble({FailureKind::kLocalFile, format_log(gbk(log_text::kOpenFailed), {working}), 0,
                    working_.error()});
    working_.release();
    return;
  }
  std::lock_guard lock(counter_mutex_);
  plan_.restore(record->size, to_segments(record->segments));
  received_ = plan_.received_total();
  etag_ = record->etag;
  last_modified_ = record->last_modified;
  resume_pending_ = true;
  // A task killed after its last byte but before the rename has nothing
  // left to ask, so nothing to confirm either.
  if (plan_.complete()) resume_pending_ = false;
}

std::optional<Text> Task::resume_validator() const {
  std::lock_guard lock(counter_mutex_);
  if (!resume_pending_) return std::nullopt;
  if (!etag_.empty()) return etag_;
  if (!last_modified_.empty()) return last_modified_;
  return std::nullopt;
}

bool Task::resume_pending() const {
  std::lock_guard lock(counter_mutex_);
  return resume_pending_;
}

bool Task::confirm_resume(const AnswerHead& answer, std::int64_t asked) {
  {
    std::lock_guard lock(counter_mutex_);
    if (!resume_pending_) return true;
    resume_pending_ = false;
    if (!answer_matches(answer, asked, plan_.size(), etag_, last_modified_)) {
      abandon_resume();
      return false;
    }
  }
  // Only the first connection ran while the stored bytes were unconfirmed.
  post(Message(Message::Type::kOpen,
               std::clamp(param_.connections, 1, SegmentPlan::kMaxSegments) - 1));
  return true;
}

// Counter lock held. Only the first connection exists and the control
// thread leaves the working file alone while the plan is not cut. The
// stored bytes are of another file now: removed, so that a fresh start
// which then fails leaves nothing behind either.
void Task::abandon_resume() {
  plan_ = SegmentPlan(param_.min_piece);
  received_ = 0;
  recent_ = 0;
  etag_.clear();
  last_modified_.clear();
  file_.close();
  working_.discard();
}

void Task::note_validators(Text etag, Text last_modified) {
  std::lock_guard lock(counter_mutex_);
  etag_ = std::move(etag);
  last_modified_ = std::move(last_modified);
}

ResumeRecord Task::record_locked(bool connections_running) const {
  ResumeRecord r;
  r.address = param_.url;
  r.size = plan_.size();
  r.etag = etag_;
  r.last_modified = last_modified_;
  for (std::size_t i = 0; i < plan_.count(); ++i) {
    const Segment& s = plan_.at(i);
    std::int64_t claimed = s.received;
    // A block is counted just before it is copied into the file, so a piece
    // being fetched may have one block counted that is not there yet: claim
    // one block less for it; a resume fetches that block again.
    if (connections_running && s.in_use && s.remaining() > 0)
      claimed = std::max<std::int64_t>(0, claimed - static_cast<std::int64_t>(kConnectionBuffer));
    r.segments.push_back({s.start, s.length, claimed});
  }
  return r;
}

void Task::save_record_if_due() {
  ResumeRecord record;
  {
    std::lock_guard lock(counter_mutex_);
    // A changed file's bytes are from two versions: never recorded.
    if (!plan_.is_cut() || resume_pending_ || failed_ || changed_ || !working_.held()) return;
    // A whole file is about to reach its final name: a record saves nothing.
    if (plan_.complete()) return;
    const auto now = std::chrono::steady_clock::now();
    const std::size_t done = plan_.done_count();
    // The first interval starts with the cut: a record then would save no
    // work, and its two syncs would hold up the opening of the further
    // connections and a small file's end.
    if (last_save_ == std::chrono::steady_clock::time_point{}) {
      last_save_ = now;
      saved_done_ = done;
      return;
    }
    if (done == saved_done_ && now - last_save_ < kRecordInterval) return;
    saved_done_ = done;
    last_save_ = now;
    record = record_locked(true);
  }
  // The data first: a record must never claim bytes that are not on disk.
  if (file_.flush()) working_.save_record(record);
}

// The working file syncs its data itself before the rename.
bool Task::finish_complete() {
  if (!file_.close()) return false;
  const Text wanted = working_.final_path();
  const std::optional<Text> name = working_.complete();
  if (!name) {
    // The counter lock is held here, so the trouble is kept directly.
    trouble_ = {FailureKind::kLocalFile, gbk(log_text::kCreateFailed), 0, working_.error()};
    log(kLogError, trouble_.message);
    return false;
  }
  written_path_ = *name;
  if (*name != wanted) log(kLogProgress, format_log(gbk(log_text::kRenamed), {*name}));
  return true;
}

}  // namespace lumora
