// Every request a simulator server received, in arrival order, so tests can
// assert what went on the wire. Thread-safe: servers record from their pool
// threads while a test reads.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httplib {
struct Request;
}

namespace lumora::sim {

struct LoggedRequest {
  std::string method;
  std::string target;  // path and query as sent, still percent-encoded
  std::string version;
  // Names as sent. The server library keeps headers in a name-sorted map, so
  // wire order is lost here; tests that assert header order use a raw
  // capturing server instead.
  std::vector<std::pair<std::string, std::string>> headers;
  // Over TLS: whether the connection's handshake resumed a session. One
  // request a connection (the engine's "Connection: close") makes these
  // the handshakes' counts.
  bool tls = false;
  bool tls_resumed = false;

  // Value of the first header of that name (ASCII case-insensitive), or "".
  std::string header(std::string_view name) const;
  bool has_header(std::string_view name) const;
};

class RequestLog {
 public:
  void record(LoggedRequest request);
  // Copies the request line and raw header order out of an httplib request.
  void record(const httplib::Request& request);
  std::vector<LoggedRequest> snapshot() const;
  // The logged requests whose target starts with `prefix`.
  std::vector<LoggedRequest> matching(std::string_view prefix) const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<LoggedRequest> requests_;
};

}  // namespace lumora::sim
