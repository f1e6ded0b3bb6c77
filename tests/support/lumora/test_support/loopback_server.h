// A loopback TCP server for the tests: it records every request head as it
// came over the wire and answers in one of two ways. A handler gets the
// connection's socket after the first request head and writes whatever bytes
// it likes (a head over the size limit, a body that stops short, a proxy);
// the connection closes when it returns. A responder gets each request
// (head and Content-Length body) on a kept-alive connection and returns the
// answer's bytes, or nullopt to hold the connection silent until the server
// goes. Each connection runs on a thread of its own; all are joined on
// destruction. 127.0.0.1, ephemeral port.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lumora::test {

struct CapturedRequest {
  std::string head;                       // up to and with the empty line, byte for byte
  std::string request_line;               // "GET /x HTTP/1.1"
  std::string target;                     // "/x"
  std::vector<std::string> header_lines;  // "Name: value", as sent, in order
  std::string body;                       // responder mode only

  // The first line whose name is `name` (exact case), or nullopt.
  std::optional<std::string> header(const std::string& name) const;
};

class LoopbackServer {
 public:
  // Runs on the connection's thread; `fd` stays ours, closed on return.
  using Handler = std::function<void(int fd, const std::string& head)>;
  using Responder = std::function<std::optional<std::string>(const CapturedRequest&)>;

  explicit LoopbackServer(Handler handler);
  explicit LoopbackServer(Responder responder);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string base_url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string url(std::string_view path) const { return base_url() + std::string(path); }
  std::vector<std::string> heads() const;
  std::vector<CapturedRequest> requests() const;
  int connections() const { return connections_; }

  // A handler that forwards each absolute-form request to its origin and
  // pipes the answer back, and answers a CONNECT to a loopback port with a
  // tunnel.
  static Handler proxy();

 private:
  void listen_on_loopback();
  void accept_loop();
  void serve(int fd);
  std::optional<CapturedRequest> read_request(int fd, bool with_body);
  bool wait_readable(int fd) const;

  Handler handler_;
  Responder responder_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<CapturedRequest> requests_;
  std::list<std::thread> workers_;  // the acceptor's alone until it is joined
  std::thread acceptor_;
};

// An answer with Content-Length; `headers` are complete lines, each ending
// in "\r\n".
std::string http_answer(const std::string& status_line, const std::string& headers,
                        const std::string& body);

// The offset of a request head's "Range: bytes=N-", or -1 without one.
std::int64_t range_from(const std::string& head);

// Bytes [from, to) of a file that loopback-server tests serve: each depends
// on its position, so a block stored at the wrong offset shows in the
// comparison.
inline std::string pattern_body(std::int64_t from, std::int64_t to) {
  std::string b;
  for (std::int64_t i = from; i < to; ++i) b += static_cast<char>((i * 7 + 3) % 251);
  return b;
}

// A connected socket to `host`:`port` (127.0.0.1 or ::1), or -1.
int connect_loopback(int port, const std::string& host = "127.0.0.1");
// A port on `host` (127.0.0.1 or ::1) that was free a moment ago (bound to
// port 0, read back and closed): a connect to it is refused, though another
// process may take it meanwhile.
int free_loopback_port(const std::string& host = "127.0.0.1");
// Sends all of `data`; false when the peer is gone.
bool send_text(int fd, std::string_view data);

}  // namespace lumora::test
