#include "ftp_control.h"

#include <string>

#include "log_text.h"
#include "lumora/download/ftp_reply.h"
#include "lumora/text/code_page.h"
#include "transfer_common.h"

namespace lumora {
namespace {

using namespace log_text;

constexpr std::size_t kMaxReply = 8192;

}  // namespace

int FtpControl::reply(TransferResult& failure) {
  for (;;) {
    if (std::optional<FtpReply> r = take_ftp_reply(pending_)) {
      last_ = std::move(r->last);
      link_.task.log(kLogReceived, last_);
      return r->code;
    }
    if (pending_.size() > kMaxReply) {
      link_.task.report_trouble({FailureKind::kConnectionLost, gbk(kFtpReplyFailed)});
      failure = TransferResult::kRetry;
      return 0;
    }
    char chunk[1024];
    std::size_t got = 0;
    const IoStatus s = socket_.receive(chunk, sizeof chunk, got,
                                       link_.task.param().receive_timeout_ms, link_.marks);
    if (s != IoStatus::kOk) {
      failure = s == IoStatus::kStopped ? TransferResult::kStopped : TransferResult::kRetry;
      if (s == IoStatus::kTimeout)
        link_.task.report_trouble({FailureKind::kNoAnswer, gbk(kFtpTimeout)});
      else if (s != IoStatus::kStopped)
        link_.task.report_trouble({FailureKind::kConnectionLost, gbk(kFtpReplyFailed)});
      return 0;
    }
    pending_.append(chunk, got);
  }
}

int FtpControl::command(const Text& line, TransferResult& failure, const Text& shown) {
  link_.task.log(kLogSent, shown.empty() ? line : shown);
  const IoStatus s =
      socket_.send_all(line + "\r\n", link_.task.param().send_timeout_ms, link_.marks);
  if (s != IoStatus::kOk) {
    failure = io_failure(link_, s, true);
    return 0;
  }
  return reply(failure);
}

void FtpControl::quit() {
  TransferResult failure = TransferResult::kRetry;
  // A transfer's closing reply (226, or 426 for a data channel closed early)
  // may come first.
  for (int code = command("QUIT", failure), replies = 1; code != 0 && code != 221 && replies < 4;
       ++replies)
    code = reply(failure);
}

TransferResult ftp_log_in(Link& link, FtpControl& control) {
  const Address& a = link.task.address();
  const TaskParam& p = link.task.param();
  const Text user = a.has_user ? a.user : p.ftp_user.empty() ? "anonymous" : p.ftp_user;
  const Text password = a.has_user && !a.password.empty() ? a.password
                        : p.ftp_password.empty() ? TaskParam{}.ftp_password
                                                 : p.ftp_password;
  TransferResult failure = TransferResult::kRetry;
  link.task.log(kLogProgress, gbk(kFtpWelcomeWait));
  if (control.reply(failure) != 220) {
    if (failure == TransferResult::kStopped) return failure;
    link.task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpNoWelcome)});
    return TransferResult::kRetry;
  }
  int code = control.command("USER " + user, failure);
  if (code == 331) code = control.command("PASS " + password, failure, "PASS ******");
  if (code == 0) return failure;
  if (code != 230) {
    link.task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpLoginFailed)});
    return TransferResult::kFatal;
  }
  link.task.log(kLogProgress, gbk(kFtpLoggedIn));
  return TransferResult::kGoOn;
}

}  // namespace lumora
