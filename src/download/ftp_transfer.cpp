// One FTP session of a connection: log in, learn the size, open a passive
// data connection at the piece's offset and read the piece.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "connection.h"
#include "log_text.h"
#include "lumora/download/answer_head.h"
#include "lumora/text/code_page.h"
#include "task.h"
#include "transfer_common.h"

namespace lumora {
namespace {

using namespace log_text;

constexpr std::size_t kMaxReply = 8192;

// The control connection: commands out, numbered replies in.
class Control {
 public:
  Control(Link& link, Socket& socket) : link_(link), socket_(socket) {}

  // The code of the next complete reply (multi-line ones included), or 0
  // when none arrived; `failure` tells why.
  int reply(TransferResult& failure) {
    for (;;) {
      if (const int code = take_reply()) return code;
      if (pending_.size() > kMaxReply) {
        link_.task.log(kLogError, gbk(kFtpReplyFailed));
        failure = TransferResult::kRetry;
        return 0;
      }
      char chunk[1024];
      std::size_t got = 0;
      const IoStatus s = socket_.receive(chunk, sizeof chunk, got,
                                         link_.task.param().receive_timeout_ms, link_.marks);
      if (s != IoStatus::kOk) {
        failure = s == IoStatus::kStopped ? TransferResult::kStopped : TransferResult::kRetry;
        if (s == IoStatus::kTimeout) link_.task.log(kLogError, gbk(kFtpTimeout));
        else if (s != IoStatus::kStopped) link_.task.log(kLogError, gbk(kFtpReplyFailed));
        return 0;
      }
      pending_.append(chunk, got);
    }
  }

  // Sends one command and reads its reply code (0 on failure).
  int command(const Text& line, TransferResult& failure, const Text& shown = {}) {
    link_.task.log(kLogSent, shown.empty() ? line : shown);
    const IoStatus s =
        socket_.send_all(line + "\r\n", link_.task.param().send_timeout_ms, link_.marks);
    if (s != IoStatus::kOk) {
      failure = io_failure(link_, s, true);
      return 0;
    }
    return reply(failure);
  }

  // Sends without waiting for the reply.
  void say(const Text& line) {
    link_.task.log(kLogSent, line);
    socket_.send_all(line + "\r\n", link_.task.param().send_timeout_ms, link_.marks);
  }

  const Text& last_text() const { return last_; }

 private:
  // Cuts one complete reply off the front of pending_, returning its code.
  int take_reply() {
    std::size_t pos = 0;
    std::string code;
    while (true) {
      const auto eol = pending_.find('\n', pos);
      if (eol == Text::npos) return 0;
      std::string_view line(pending_.data() + pos, eol - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      pos = eol + 1;
      if (line.size() < 4 || !std::isdigit(static_cast<unsigned char>(line[0]))) continue;
      if (code.empty()) code = Text(line.substr(0, 3));
      if (line.substr(0, 3) == code && line[3] == ' ') {
        last_ = Text(line);
        pending_.erase(0, pos);
        link_.task.log(kLogReceived, last_);
        return std::atoi(code.c_str());
      }
    }
  }

  Link& link_;
  Socket& socket_;
  Text pending_;
  Text last_;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)".
bool passive_address(const Text& reply, Text& host, int& port) {
  const auto open = reply.find('(');
  int v[6];
  if (open == Text::npos ||
      std::sscanf(reply.c_str() + open + 1, "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3],
                  &v[4], &v[5]) != 6)
    return false;
  for (int x : v)
    if (x < 0 || x > 255) return false;
  host = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
         std::to_string(v[3]);
  port = v[4] * 256 + v[5];
  return port > 0;
}

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

TransferResult log_in(Link& link, Control& control) {
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
    link.task.log(kLogError, gbk(kFtpNoWelcome));
    return TransferResult::kRetry;
  }
  int code = control.command("USER " + user, failure);
  if (code == 331) code = control.command("PASS " + password, failure, "PASS ******");
  if (code == 0) return failure;
  if (code != 230) {
    link.task.log(kLogError, gbk(kFtpLoginFailed));
    return TransferResult::kFatal;
  }
  link.task.log(kLogProgress, gbk(kFtpLoggedIn));
  return TransferResult::kPieceDone;
}

}  // namespace

TransferResult ftp_transfer(Link& link) {
  Task& task = link.task;
  const Address& a = task.address();
  Socket socket;
  TransferResult r = dial(link, socket, a.host, a.port, false);
  if (r != TransferResult::kPieceDone) return r;
  Control control(link, socket);
  if ((r = log_in(link, control)) != TransferResult::kPieceDone) return r;

  TransferResult failure = TransferResult::kRetry;
  // The type goes first: servers may refuse REST and SIZE in ASCII mode,
  // the default one.
  const int type = control.command(is_binary(task.param(), a.path) ? "TYPE I" : "TYPE A", failure);
  if (type == 0) return failure;
  const bool resumable = control.command("REST 100", failure) == 350;
  task.log(kLogProgress, gbk(resumable ? kFtpResumable : kFtpNotResumable));
  if (control.command("REST 0", failure) == 0) return failure;
  const int size_code = control.command("SIZE " + a.path, failure);
  if (size_code == 0) return failure;
  const std::int64_t size =
      size_code == 213 ? read_size(control.last_text().substr(4)) : std::int64_t{-1};
  if (size < 0) {
    task.log(kLogError, gbk(kNoSize));
    return TransferResult::kFatal;
  }
  if (!link.piece) {
    // Without REST the file can only come in one piece.
    std::size_t piece = 0;
    if (!task.on_size_known(link.id, size, {}, resumable ? task.param().connections : 1, piece))
      return TransferResult::kFatal;
    link.piece = piece;
  } else if (size != task.size()) {
    task.log(kLogError, gbk(kPositionError));
    return TransferResult::kRetry;
  }
  const std::int64_t offset = task.piece(*link.piece).next_offset();
  if (task.piece(*link.piece).remaining() == 0) return TransferResult::kPieceDone;

  Text data_host;
  int data_port = 0;
  if (control.command("PASV", failure) != 227 ||
      !passive_address(control.last_text(), data_host, data_port)) {
    task.log(kLogError, gbk(kFtpDataSetupFailed));
    return failure == TransferResult::kStopped ? failure : TransferResult::kRetry;
  }
  Socket data;
  if (data.connect(data_host, data_port, task.param().connect_timeout_ms, link.marks) !=
      IoStatus::kOk) {
    if (link.marks.raised()) return TransferResult::kStopped;
    task.log(kLogError, gbk(kFtpDataConnectFailed));
    return TransferResult::kRetry;
  }
  if (offset > 0 && control.command("REST " + std::to_string(offset), failure) != 350) {
    task.log(kLogError, gbk(kFtpUnsupportedReply));
    return failure == TransferResult::kStopped ? failure : TransferResult::kRetry;
  }
  const int retr = control.command("RETR " + a.path, failure);
  if (retr != 150 && retr != 125) {
    if (retr == 0) return failure;
    task.log(kLogError, gbk(kFtpTransferFailed));
    return retr == 550 ? TransferResult::kFatal : TransferResult::kRetry;
  }
  r = receive_body(link, data, offset, {});
  data.close();
  if (r == TransferResult::kPieceDone) control.say("QUIT");
  return r;
}

}  // namespace lumora
