#include "ftp_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

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

namespace {

// "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 host.
Text port_command(Text host, int port) {
  for (char& c : host)
    if (c == '.') c = ',';
  return "PORT " + host + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

// The numeric address of the peer of a connected socket; empty when unknown.
Text peer_host(const Socket& socket) {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  if (::getpeername(socket.native(), reinterpret_cast<sockaddr*>(&peer), &len) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const void* at = peer.ss_family == AF_INET6
                       ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(peer).sin6_addr)
                       : static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(peer).sin_addr);
  if (::inet_ntop(peer.ss_family, at, text, sizeof text) == nullptr) return {};
  return text;
}

TransferResult open_active(Link& link, FtpControl& control, FtpData& data) {
  ExchangeTask& task = link.task;
  task.log(kLogProgress, gbk(kFtpTryActive));
  Text host;
  int port = 0;
  TransferResult failure = TransferResult::kRetry;
  if (control.socket().listen_beside(data.listener, host, port) != IoStatus::kOk ||
      control.command(port_command(host, port), failure) != 200) {
    if (failure == TransferResult::kStopped) return failure;
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpActiveFailed)});
    return TransferResult::kRetry;
  }
  data.active = true;
  return TransferResult::kGoOn;
}

}  // namespace

TransferResult ftp_open_data(Link& link, FtpControl& control, FtpData& data) {
  ExchangeTask& task = link.task;
  TransferResult failure = TransferResult::kRetry;
  const int code = control.command("PASV", failure);
  if (code == 0) return failure;
  const std::optional<HostPort> passive =
      code == 227 ? passive_address(control.last_text()) : std::nullopt;
  if (!passive) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpDataSetupFailed)});
    return open_active(link, control, data);
  }
  // The data channel goes where the control connection goes: a reply naming
  // another host would have us fetch from, or knock on, a machine the user
  // never asked for. Only the port is the server's to choose.
  const Text host = peer_host(control.socket());
  if (host.empty()) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpDataSetupFailed)});
    return TransferResult::kRetry;
  }
  if (host != passive->host)
    task.log(kLogProgress, format_log(gbk(kFtpPassiveElsewhere),
                                      {passive->host, host, host, std::to_string(passive->port)}));
  if (data.socket.connect(host, passive->port, task.param().connect_timeout_ms, link.marks) !=
      IoStatus::kOk) {
    if (link.marks.raised()) return TransferResult::kStopped;
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpDataConnectFailed)});
    return TransferResult::kRetry;
  }
  return TransferResult::kGoOn;
}

TransferResult ftp_ready_data(Link& link, FtpData& data) {
  if (!data.active) return TransferResult::kGoOn;
  const IoStatus s =
      data.listener.accept_one(data.socket, link.task.param().connect_timeout_ms, link.marks);
  data.listener.close();
  if (s == IoStatus::kOk) return TransferResult::kGoOn;
  if (s == IoStatus::kStopped) return TransferResult::kStopped;
  link.task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpDataConnectFailed)});
  return TransferResult::kRetry;
}

}  // namespace lumora
