#include "ftp_data_channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>
#include <string>

#include "log_text.h"
#include "lumora/download/ftp_reply.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

using namespace log_text;

bool is_ipv6(const Text& host) { return host.find(':') != Text::npos; }

// "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 host, "EPRT |2|host|port|"
// for an IPv6 one.
Text port_command(Text host, int port) {
  if (is_ipv6(host)) return "EPRT |2|" + host + "|" + std::to_string(port) + "|";
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

// The port the server listens on for this session's data: from EPSV over
// IPv6, from PASV over IPv4. `code` gets the reply's code (0: no reply, the
// connection acts on `failure`).
std::optional<int> passive_port(Link& link, FtpControl& control, const Text& host, int& code,
                                TransferResult& failure) {
  if (is_ipv6(host)) {
    code = control.command("EPSV", failure);
    return code == 229 ? extended_passive_port(control.last_text()) : std::nullopt;
  }
  code = control.command("PASV", failure);
  const std::optional<HostPort> passive =
      code == 227 ? passive_address(control.last_text()) : std::nullopt;
  if (!passive) return std::nullopt;
  // The data channel goes where the control connection goes: a reply naming
  // another host would have us fetch from, or knock on, a machine the user
  // never asked for. Only the port is the server's to choose.
  if (host != passive->host)
    link.task.log(kLogProgress,
                  format_log(gbk(kFtpPassiveElsewhere),
                             {passive->host, host, host, std::to_string(passive->port)}));
  return passive->port;
}

}  // namespace

TransferResult ftp_open_data(Link& link, FtpControl& control, FtpData& data) {
  ExchangeTask& task = link.task;
  const Text host = peer_host(control.socket());
  if (host.empty()) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpDataSetupFailed)});
    return TransferResult::kRetry;
  }
  TransferResult failure = TransferResult::kRetry;
  int code = 0;
  const std::optional<int> port = passive_port(link, control, host, code, failure);
  if (code == 0) return failure;
  if (!port) {
    task.report_trouble({FailureKind::kFtpRefused, gbk(kFtpDataSetupFailed)});
    return open_active(link, control, data);
  }
  if (data.socket.connect(host, *port, task.param().connect_timeout_ms, link.marks) !=
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
