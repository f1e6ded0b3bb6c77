// An FTP upload: the task's local file (`save_path`) sent with STOR to the
// address, in blocks of `send_block_size`; a retry goes on from the bytes
// already sent when the server takes REST.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>

#include "ftp_control.h"
#include "ftp_data_channel.h"
#include "log_text.h"
#include "lumora/text/code_page.h"
#include "transfer_common.h"
#include "transfers.h"

namespace lumora {
namespace {

using namespace log_text;

// The local file, opened for reading; -1 when it cannot be (logged).
class Source {
 public:
  explicit Source(ExchangeTask& task) {
    const Text& path = task.param().save_path;
    fd_ = ::open(gbk_to_utf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
      ::close(fd_);
      fd_ = -1;
    }
    if (fd_ < 0)
      task.report_trouble({FailureKind::kLocalFile, format_log(gbk(kOpenFailed), {path})});
    size_ = fd_ >= 0 ? st.st_size : -1;
  }
  ~Source() {
    if (fd_ >= 0) ::close(fd_);
  }
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
  std::int64_t size() const { return size_; }
  ssize_t read(char* into, std::size_t n, std::int64_t offset) const {
    return ::pread(fd_, into, n, offset);
  }

 private:
  int fd_ = -1;
  std::int64_t size_ = -1;
};

// Sends the piece's missing bytes over the data channel.
TransferResult send_rest(Link& link, const Source& source, Socket& data) {
  ExchangeTask& task = link.task;
  const TaskParam& p = task.param();
  const std::size_t block = std::clamp<std::size_t>(
      static_cast<std::size_t>(std::max(1, p.send_block_size)), 1, kConnectionBuffer);
  for (;;) {
    const Segment s = task.piece(*link.piece);
    if (s.remaining() == 0) return TransferResult::kPieceDone;
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(block, s.remaining()));
    const ssize_t n = source.read(link.buffer, want, s.next_offset());
    if (n <= 0) {  // the file shrank or cannot be read: no retry mends that
      task.report_trouble({FailureKind::kLocalFile, format_log(gbk(kOpenFailed), {p.save_path})});
      return TransferResult::kFatal;
    }
    const IoStatus st = data.send_all(std::string_view(link.buffer, static_cast<std::size_t>(n)),
                                      p.send_timeout_ms, link.marks);
    if (st != IoStatus::kOk) return io_failure(link, st, true);
    task.count_sent(*link.piece, n);
  }
}

}  // namespace

TransferResult ftp_upload(Link& link, FtpControl& control, bool resumable) {
  ExchangeTask& task = link.task;
  const Source source(task);
  if (source.size() < 0) return TransferResult::kFatal;
  if (!link.piece) {
    std::size_t piece = 0;
    task.on_upload_size(link.id, source.size(), piece);
    link.piece = piece;
  }
  const std::int64_t offset = task.piece(*link.piece).next_offset();
  if (offset > 0 && !resumable) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpTransferFailed)});
    return TransferResult::kFatal;
  }
  FtpData data;
  TransferResult r = ftp_open_data(link, control, data);
  if (r != TransferResult::kGoOn) return r;
  TransferResult failure = TransferResult::kRetry;
  if (offset > 0 && control.command("REST " + std::to_string(offset), failure) != 350) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpUnsupportedReply)});
    return failure == TransferResult::kStopped ? failure : TransferResult::kRetry;
  }
  const int stor = control.command("STOR " + task.address().path, failure);
  if (stor != 150 && stor != 125) {
    if (stor == 0) return failure;
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpTransferFailed)});
    return stor == 550 || stor == 553 ? TransferResult::kFatal : TransferResult::kRetry;
  }
  if ((r = ftp_ready_data(link, data)) != TransferResult::kGoOn) return r;
  r = send_rest(link, source, data.socket);
  data.socket.close();  // the end of the file, for the server
  if (r != TransferResult::kPieceDone) return r;
  // Only the server's word that it stored everything makes the upload whole.
  const int done = control.reply(failure);
  if (done != 226 && done != 250) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpTransferFailed)});
    return TransferResult::kFatal;
  }
  control.quit();
  return TransferResult::kPieceDone;
}

}  // namespace lumora
