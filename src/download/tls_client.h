// The TLS side of one task: a verifying client context and the sessions its
// connections have been given, so that a task's later connections, re-asks
// and retries resume a session instead of each making a full handshake.
//
// The context checks the peer's chain against the default verify paths
// (the system's trust store; SSL_CERT_FILE and SSL_CERT_DIR point
// elsewhere), accepts TLS 1.2 and 1.3 only, and is shared by every task
// while those two variables keep their values.
//
// Threads: every member may be called from any connection thread at once.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "lumora/text/text.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_session_st SSL_SESSION;

namespace lumora {

struct SslFree {
  void operator()(SSL* ssl) const;
};
using SslPtr = std::unique_ptr<SSL, SslFree>;

class TlsPeer;

class TlsClient {
 public:
  TlsClient() = default;
  ~TlsClient();
  TlsClient(const TlsClient&) = delete;
  TlsClient& operator=(const TlsClient&) = delete;

  // A connection object for `host` (a name or an address text): the name
  // sent (SNI, names only) and checked against the certificate, and the
  // task's latest session with the peer (`peer.key`) offered for
  // resumption. `peer` must outlive the returned object; it collects what
  // the certificate check found. Null, with `words` saying why, when TLS
  // cannot be set up at all.
  SslPtr open(const Text& host, TlsPeer& peer, Text& words);

  // Called by the context when a peer hands over a session (a ticket, or a
  // session id); a copy of the newest one per peer is kept.
  void keep(const std::string& peer_key, const SSL_SESSION* session);

 private:
  std::mutex mutex_;
  std::shared_ptr<SSL_CTX> context_;                // made at the first open()
  std::map<std::string, SSL_SESSION*> sessions_;  // mutex_; owned
};

}  // namespace lumora
