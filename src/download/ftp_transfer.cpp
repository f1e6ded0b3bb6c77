// One FTP session of a connection: log in, learn the size, open a data
// channel at the piece's offset and read the piece, or, for an upload,
// hand over to ftp_upload().
#include <string>

#include "transfers.h"
#include "ftp_control.h"
#include "ftp_data_channel.h"
#include "log_text.h"
#include "lumora/download/answer_head.h"
#include "lumora/text/code_page.h"
#include "transfer_common.h"

namespace lumora {
namespace {

using namespace log_text;

bool is_binary(const TaskParam& p, const Text& path) {
  if (p.ftp_transfer_mode == 2) return false;
  if (p.ftp_transfer_mode != 3) return true;
  const auto dot = path.rfind('.');
  if (dot == Text::npos) return false;
  const Text ext = path.substr(dot);
  for (const Text& known : split_text(p.binary_extensions, "|"))
    if (known == ext) return true;
  return false;
}

// SIZE, then the plan cut (first connection), or the resume confirmed
// (first connection of a resumed task: a server that cannot REST, or a
// size not the record's, starts the file fresh), or a check against it.
TransferResult learn_size(Link& link, FtpControl& control, bool resumable) {
  ExchangeTask& task = link.task;
  const Address& a = task.address();
  TransferResult failure = TransferResult::kRetry;
  const int size_code = control.command("SIZE " + a.path, failure);
  if (size_code == 0) return failure;
  const std::int64_t size =
      size_code == 213 ? read_size(control.last_text().substr(4)) : std::int64_t{-1};
  if (size < 0) {
    task.report_trouble({FailureKind::kNoSize, gbk(kNoSize)});
    return TransferResult::kFatal;
  }
  if (link.piece && task.resume_pending() && !task.confirm_resume_by_size(size, resumable))
    link.piece.reset();  // that piece is gone with the stored bytes
  if (!link.piece) {
    // Without REST the file can only come in one piece.
    std::size_t piece = 0;
    if (!task.on_size_known(link.id, size, {}, resumable ? task.param().connections : 1, piece))
      return TransferResult::kFatal;
    link.piece = piece;
  } else if (size != task.size()) {
    task.report_trouble({FailureKind::kConnectionLost, gbk(kPositionError)});
    return TransferResult::kRetry;
  }
  return TransferResult::kGoOn;
}

TransferResult download(Link& link, FtpControl& control, bool resumable) {
  ExchangeTask& task = link.task;
  TransferResult r = learn_size(link, control, resumable);
  if (r != TransferResult::kGoOn) return r;
  const std::int64_t offset = task.piece(*link.piece).next_offset();
  if (task.piece(*link.piece).remaining() == 0) return TransferResult::kPieceDone;

  FtpData data;
  if ((r = ftp_open_data(link, control, data)) != TransferResult::kGoOn) return r;
  TransferResult failure = TransferResult::kRetry;
  if (offset > 0 && control.command("REST " + std::to_string(offset), failure) != 350) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpUnsupportedReply)});
    return failure == TransferResult::kStopped ? failure : TransferResult::kRetry;
  }
  const int retr = control.command("RETR " + task.address().path, failure);
  if (retr != 150 && retr != 125) {
    if (retr == 0) return failure;
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpTransferFailed)});
    return retr == 550 ? TransferResult::kFatal : TransferResult::kRetry;
  }
  if ((r = ftp_ready_data(link, data)) != TransferResult::kGoOn) return r;
  r = receive_body(link, data.socket, offset, {});
  data.socket.close();
  if (r == TransferResult::kPieceDone) control.quit();
  return r;
}

}  // namespace

TransferResult ftp_transfer(Link& link) {
  ExchangeTask& task = link.task;
  const Address& a = task.address();
  Socket socket;
  TransferResult r = dial(link, socket, a.host, a.port, false);
  if (r != TransferResult::kGoOn) return r;
  FtpControl control(link, socket);
  if ((r = ftp_log_in(link, control)) != TransferResult::kGoOn) return r;

  TransferResult failure = TransferResult::kRetry;
  // The type goes first: servers may refuse REST and SIZE in ASCII mode,
  // the default one.
  const int type = control.command(is_binary(task.param(), a.path) ? "TYPE I" : "TYPE A", failure);
  if (type == 0) return failure;
  const bool resumable = control.command("REST 100", failure) == 350;
  task.log(kLogProgress, gbk(resumable ? kFtpResumable : kFtpNotResumable));
  if (control.command("REST 0", failure) == 0) return failure;
  if (task.param().mode_flags & kModeUpload) return ftp_upload(link, control, resumable);
  return download(link, control, resumable);
}

}  // namespace lumora
