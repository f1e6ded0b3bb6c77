#include "http_dial.h"

#include <string>

#include "log_text.h"
#include "lumora/download/answer_head.h"
#include "lumora/text/code_page.h"
#include "tls_stream.h"
#include "transfer_common.h"

namespace lumora {
namespace {

using namespace log_text;

TransferResult handshake_failure(Link& link, const HandshakeResult& h, const Address& address) {
  ExchangeTask& task = link.task;
  switch (h.fault) {
    case HandshakeFault::kNone:
    case HandshakeFault::kStopped: return TransferResult::kStopped;
    case HandshakeFault::kCertificate:
      task.report_trouble({FailureKind::kCertificate, h.words});
      return TransferResult::kFatal;
    case HandshakeFault::kProtocol:
      task.report_trouble({FailureKind::kConnectionLost, h.words});
      return TransferResult::kFatal;
    case HandshakeFault::kTimedOut:
      task.report_trouble({FailureKind::kConnectTimeout,
                           format_log(gbk(kConnectTimeout),
                                      {address.host, std::to_string(address.port)})});
      return TransferResult::kRetry;
    case HandshakeFault::kNoAnswer:
      task.report_trouble({FailureKind::kNoAnswer, gbk(kReceiveTimeout)});
      return TransferResult::kRetry;
    case HandshakeFault::kBroken: break;
  }
  task.report_trouble(
      {FailureKind::kConnectionLost, gbk(kReceiveError), 0, last_socket_error()});
  return TransferResult::kRetry;
}

TransferResult secure(Link& link, Socket& socket, const Address& address) {
  ExchangeTask& task = link.task;
  const TaskParam& p = task.param();
  const HandshakeResult h = socket.start_tls(
      task.tls_client(), address.host, address.port,
      {.overall_ms = p.connect_timeout_ms, .wait_ms = p.receive_timeout_ms}, link.marks);
  if (h.fault != HandshakeFault::kNone) return handshake_failure(link, h, address);
  task.log(kLogProgress,
           format_log(gbk(kTlsEstablished), {h.protocol, gbk(h.resumed ? kTlsResumed : kTlsFull)}));
  return TransferResult::kGoOn;
}

// Asks the proxy for a tunnel to the address's host and port.
TransferResult open_tunnel(Link& link, Socket& socket, const Address& address) {
  ExchangeTask& task = link.task;
  const TaskParam& p = task.param();
  const Text authority = address.host.find(':') == Text::npos
                             ? address.host + ":" + std::to_string(address.port)
                             : "[" + address.host + "]:" + std::to_string(address.port);
  const Text request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
  task.log(kLogSent, request);
  const IoStatus sent = socket.send_all(request, p.send_timeout_ms, link.marks);
  if (sent != IoStatus::kOk) return io_failure(link, sent, true);
  // Nothing follows the proxy's head until the TLS handshake starts, so
  // reading past it cannot take bytes that are not the head's.
  Text head;
  char chunk[512];
  while (answer_head_end(head) == 0) {
    std::size_t got = 0;
    const IoStatus s = socket.receive(chunk, sizeof chunk, got, p.receive_timeout_ms, link.marks);
    if (s == IoStatus::kClosed || head.size() + got > kMaxAnswerHead) {
      task.report_trouble({FailureKind::kConnectionLost, gbk(kReceiveError)});
      return TransferResult::kRetry;
    }
    if (s != IoStatus::kOk) return io_failure(link, s, false);
    head.append(chunk, got);
  }
  task.log(kLogReceived, head);
  const int status = parse_answer_head(head).status;
  if (status / 100 == 2 && answer_head_end(head) == head.size()) return TransferResult::kGoOn;
  task.report_trouble({FailureKind::kHttpStatus,
                       format_log(gbk(kProxyTunnelRefused), {std::to_string(status)}), status});
  return TransferResult::kFatal;
}

}  // namespace

TransferResult dial_http(Link& link, Socket& socket, const Address& address,
                         const std::optional<Address>& proxy, bool& absolute_form) {
  const bool tls = address.scheme == Scheme::kHttps;
  absolute_form = proxy && !tls;
  TransferResult r = proxy ? dial(link, socket, proxy->host, proxy->port, true)
                           : dial(link, socket, address.host, address.port, false);
  if (r != TransferResult::kGoOn || !tls) return r;
  if (proxy && (r = open_tunnel(link, socket, address)) != TransferResult::kGoOn) return r;
  return secure(link, socket, address);
}

}  // namespace lumora
