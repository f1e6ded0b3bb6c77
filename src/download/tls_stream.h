// TLS over one connected, non-blocking socket: the handshake, then reads
// and writes of plain text. Every wait goes through wait_socket(), so the
// stop marks end it as they end a plain wait. Owned by its Socket and used
// by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lumora/text/text.h"
#include "socket.h"
#include "tls_client.h"

namespace lumora {

// What the certificate check of one connection found: the first refusal,
// in words a person reads ("certificate not trusted: self-signed").
// Filled by the context's verify callback on the handshaking thread.
class TlsPeer {
 public:
  TlsPeer(TlsClient& client, std::string key, Text host)
      : client(client), key(std::move(key)), host(std::move(host)) {}
  TlsClient& client;
  const std::string key;  // host and port: whose sessions fit
  const Text host;        // the name or address the certificate must carry
  int refusal = 0;        // X509_V_ERR_*; 0 while none
  Text refusal_words;
};

enum class HandshakeFault {
  kNone,
  kStopped,
  kCertificate,  // the peer's certificate was refused (words)
  kProtocol,     // no TLS both sides accept, or the peer ended it (words)
  kTimedOut,     // not done within the overall limit
  kNoAnswer,     // one wait for the peer passed its limit
  kBroken,       // the connection broke (errno in last_socket_error())
};

struct HandshakeResult {
  HandshakeFault fault = HandshakeFault::kNone;
  Text words = {};
  bool resumed = false;  // an earlier session was taken up
  Text protocol = {};    // "TLSv1.3"
};

// Milliseconds: the whole handshake, and any one wait within it.
struct HandshakeLimits {
  int overall_ms = 20000;
  int wait_ms = 20000;
};

class TlsStream {
 public:
  TlsStream(TlsClient& client, const Text& host, int port);
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  HandshakeResult handshake(int fd, const HandshakeLimits& limits, const StopMarks& marks);
  // As Socket::send_all and Socket::receive. A receive takes whatever
  // further plain text is at hand without waiting, up to `size`.
  IoStatus send_all(int fd, std::string_view data, int timeout_ms, const StopMarks& marks);
  IoStatus receive(int fd, char* buffer, std::size_t size, std::size_t& got, int timeout_ms,
                   const StopMarks& marks);
  // Says goodbye without waiting, so the session stays good for others.
  void close();

 private:
  // Waits for what the last call wanted; kOk to call again.
  IoStatus wait_wanted(int fd, int error, int timeout_ms, const StopMarks& marks);
  HandshakeResult failed_handshake(int error);
  // A read or write that failed for good (SSL_get_error's `error`).
  IoStatus broken(int error);

  TlsPeer peer_;
  SslPtr ssl_;
  Text setup_words_;     // why ssl_ is null
  bool failed_ = false;  // a fatal error was met: no goodbye
};

}  // namespace lumora
