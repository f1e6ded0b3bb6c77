// A loopback TCP server for answers the simulator does not give (a head
// over the size limit, the request head byte for byte) and a small HTTP
// proxy in front of another loopback server. Each accepted connection runs
// its handler on a thread of its own; all threads are joined on destruction.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lumora::test {

// The offset of a request head's "Range: bytes=N-", or -1 without one.
std::int64_t range_from(const std::string& head);

// A connected socket to 127.0.0.1:`port`, or -1.
int connect_loopback(int port);
// A loopback port nothing listens on (bound, read back and closed), so a
// connect to it is refused.
int refused_loopback_port();

// Bytes [from, to) of a file that raw-server tests serve: each depends on its
// position, so a block stored at the wrong offset shows in the comparison.
inline std::string pattern_body(std::int64_t from, std::int64_t to) {
  std::string b;
  for (std::int64_t i = from; i < to; ++i) b += static_cast<char>((i * 7 + 3) % 251);
  return b;
}

class RawServer {
 public:
  // Gets the connection's socket and the request head as received.
  using Handler = std::function<void(int fd, const std::string& head)>;
  explicit RawServer(Handler handler);
  ~RawServer();
  int port() const { return port_; }
  std::string url(std::string_view path) const;
  std::vector<std::string> heads() const;

  // A handler that forwards each absolute-form request to its origin and
  // pipes the answer back, and answers a CONNECT to a loopback port with a
  // tunnel.
  static Handler proxy();

 private:
  void accept_loop();
  void serve(int fd);

  Handler handler_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;
  std::list<std::thread> workers_;
  std::thread acceptor_;
};

bool send_text(int fd, std::string_view data);

}  // namespace lumora::test
