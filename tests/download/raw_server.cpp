#include "raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace lumora::test {
namespace {

// Reads up to the empty line, or "" after 5 s without it.
std::string read_head(int fd) {
  std::string head;
  char c;
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0 || ::recv(fd, &c, 1, 0) != 1) return {};
    head += c;
  }
  return head;
}

// Copies both ways until either side closes.
void pipe_both(int a, int b) {
  char buffer[16384];
  for (;;) {
    pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    if (::poll(p, 2, 10000) <= 0) return;
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::recv(p[i].fd, buffer, sizeof buffer, 0);
      if (n <= 0 || !send_text(p[1 - i].fd, std::string_view(buffer, static_cast<std::size_t>(n))))
        return;
    }
  }
}

}  // namespace

std::int64_t range_from(const std::string& head) {
  const auto at = head.find("\r\nRange: bytes=");
  return at == std::string::npos ? -1 : std::stoll(head.substr(at + 15));
}

int connect_loopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int refused_loopback_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool send_text(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(listen_fd_, 64);
  socklen_t len = sizeof a;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

RawServer::~RawServer() {
  stop_ = true;
  acceptor_.join();
  for (std::thread& t : workers_) t.join();
  ::close(listen_fd_);
}

std::string RawServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::heads() const {
  std::lock_guard lock(mutex_);
  return heads_;
}

void RawServer::accept_loop() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 10) <= 0) continue;
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

void RawServer::serve(int fd) {
  const std::string head = read_head(fd);
  if (!head.empty()) {
    {
      std::lock_guard lock(mutex_);
      heads_.push_back(head);
    }
    handler_(fd, head);
  }
  ::close(fd);
}

RawServer::Handler RawServer::proxy() {
  return [](int fd, const std::string& head) {
    if (head.starts_with("CONNECT 127.0.0.1:")) {  // a tunnel: bytes both ways, unread
      const int origin = connect_loopback(std::stoi(head.substr(18)));
      if (origin < 0) return;
      if (send_text(fd, "HTTP/1.1 200 Connection established\r\n\r\n")) pipe_both(fd, origin);
      ::close(origin);
      return;
    }
    // "GET http://127.0.0.1:port/path HTTP/1.1": rewrite to origin form and
    // ask the origin to close, so the answer ends with the connection.
    const auto host_at = head.find("://") + 3;
    const auto path_at = head.find('/', host_at);
    const auto colon = head.find(':', host_at);
    const int port = std::stoi(head.substr(colon + 1, path_at - colon - 1));
    std::string out = "GET " + head.substr(path_at);
    const auto proxy_line = out.find("Proxy-Connection: Keep-Alive\r\n");
    if (proxy_line != std::string::npos) out.replace(proxy_line, 30, "Connection: close\r\n");
    const int origin = connect_loopback(port);
    if (origin < 0) return;
    if (send_text(origin, out)) pipe_both(fd, origin);
    ::close(origin);
  };
}

}  // namespace lumora::test
