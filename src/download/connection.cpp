#include "connection.h"

#include <string>

#include "log_text.h"
#include "lumora/text/code_page.h"
#include "transfers.h"

namespace lumora {

Connection::Connection(ExchangeTask& task, int id, std::optional<std::size_t> piece)
    : task_(task), id_(id), piece_(piece), buffer_(new char[kConnectionBuffer]) {}

Connection::~Connection() { join(); }

void Connection::start() { thread_ = std::thread([this] { run(); }); }

void Connection::join() {
  if (thread_.joinable()) thread_.join();
}

TransferResult Connection::transfer_once(Link& link) {
  switch (task_.address().scheme) {
    case Scheme::kHttp:
    case Scheme::kHttps: return http_transfer(link);
    case Scheme::kFtp: return ftp_transfer(link);
    case Scheme::kMms:
    case Scheme::kRtsp: break;
  }
  // Accepted addresses that this engine cannot fetch.
  task_.report_trouble({FailureKind::kConnectionLost, gbk(log_text::kUnknownError)});
  return TransferResult::kFatal;
}

void Connection::run() {
  task_.mark_engine_thread();
  Link link{task_, id_, StopMarks{&stop_, &task_.stop_mark(), task_.stop_wake_fd()}, piece_,
            buffer_.get()};
  task_.post_event(TaskEventKind::kConnectionStarted, id_, id_, 0);
  bool done = false;
  int failures = 0;
  while (!link.marks.raised()) {
    const TransferResult r = transfer_once(link);
    if (r == TransferResult::kPieceDone) {
      const Segment s = task_.piece(*piece_);
      task_.post_event(TaskEventKind::kSegmentDone, id_, s.start, s.length);
      piece_ = task_.take_piece(id_);
      failures = 0;
      if (!piece_) {
        done = true;
        break;
      }
      continue;
    }
    if (r == TransferResult::kAskAgain) continue;
    if (r == TransferResult::kFatal) {
      task_.fail();
      break;
    }
    const TaskParam& p = task_.param();
    if (r == TransferResult::kStopped || ++failures > p.max_retries) break;
    const int seconds = (p.retry_wait_ms + 999) / 1000;
    task_.log(kLogProgress, format_log(gbk(log_text::kRetryWait), {std::to_string(seconds)}));
    if (!wait_unless_stopped(p.retry_wait_ms, link.marks)) break;
  }
  if (piece_ && !done) task_.release_piece(*piece_);
  if (link.marks.raised()) task_.post_event(TaskEventKind::kConnectionStopped, id_, id_, 0);
  task_.post_event(TaskEventKind::kConnectionEnded, id_, done ? 1 : 0, 0);
  task_.post_connection_ended(id_);
}

}  // namespace lumora
