// A raw HTTP server for the request tests: it records every request exactly
// as it came over the wire (header lines in their order) and answers with
// whatever bytes the test's responder returns. Loopback, ephemeral port.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lumora::test {

struct CapturedRequest {
  std::string request_line;               // "GET /x HTTP/1.1"
  std::string target;                     // "/x"
  std::vector<std::string> header_lines;  // "Name: value", as sent, in order
  std::string body;

  // The first line whose name is `name` (exact case), or nullopt.
  std::optional<std::string> header(const std::string& name) const;
};

// An answer with Content-Length; `headers` are complete lines, each ending
// in "\r\n".
std::string http_answer(const std::string& status_line, const std::string& headers,
                        const std::string& body);

class CaptureServer {
 public:
  // Returns the answer's bytes, or nullopt to never answer (a black hole
  // that holds the connection open until the server stops).
  using Responder = std::function<std::optional<std::string>(const CapturedRequest&)>;

  explicit CaptureServer(Responder responder);
  ~CaptureServer();
  CaptureServer(const CaptureServer&) = delete;
  CaptureServer& operator=(const CaptureServer&) = delete;

  int port() const { return port_; }
  std::string base_url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::vector<CapturedRequest> requests() const;
  int connections() const { return connections_; }

 private:
  void accept_loop();
  void serve(int fd);
  bool read_request(int fd, std::string& pending, CapturedRequest& request);

  Responder responder_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<CapturedRequest> requests_;
  std::vector<std::thread> workers_;  // guarded by mutex_
  std::thread acceptor_;
};

// A port on 127.0.0.1 that nothing listens on.
int closed_port();

}  // namespace lumora::test
