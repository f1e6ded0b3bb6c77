#include "lumora/test_support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace lumora::test {
namespace {

constexpr int kSliceMs = 10;

// Copies both ways until either side closes or 10 s pass without a byte.
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

// "127.0.0.1" or "::1" and a port.
sockaddr_storage loopback_address(const std::string& host, int port, socklen_t& length) {
  sockaddr_storage s{};
  if (host.find(':') != std::string::npos) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&s);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET6, host.c_str(), &a->sin6_addr);
    length = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&s);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, host.c_str(), &a->sin_addr);
    length = sizeof *a;
  }
  return s;
}

int port_of(const sockaddr_storage& a) {
  return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(a).sin6_port
                                       : reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

// Splits a head into its request line, target and header lines.
void parse_head(CapturedRequest& r) {
  const std::string head = r.head.substr(0, r.head.size() - 4);
  std::size_t at = head.find("\r\n");
  r.request_line = head.substr(0, at);
  while (at != std::string::npos) {
    const std::size_t from = at + 2;
    at = head.find("\r\n", from);
    r.header_lines.push_back(head.substr(from, at == std::string::npos ? at : at - from));
  }
  const auto space = r.request_line.find(' ');
  r.target = r.request_line.substr(space + 1, r.request_line.rfind(' ') - space - 1);
}

}  // namespace

std::optional<std::string> CapturedRequest::header(const std::string& name) const {
  for (const std::string& line : header_lines) {
    if (line.starts_with(name + ":")) {
      std::string value = line.substr(name.size() + 1);
      if (value.starts_with(" ")) value.erase(0, 1);
      return value;
    }
  }
  return std::nullopt;
}

std::string http_answer(const std::string& status_line, const std::string& headers,
                        const std::string& body) {
  return status_line + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

std::int64_t range_from(const std::string& head) {
  const auto at = head.find("\r\nRange: bytes=");
  return at == std::string::npos ? -1 : std::stoll(head.substr(at + 15));
}

int connect_loopback(int port, const std::string& host) {
  socklen_t length = 0;
  const sockaddr_storage a = loopback_address(host, port, length);
  const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int free_loopback_port(const std::string& host) {
  socklen_t length = 0;
  sockaddr_storage a = loopback_address(host, 0, length);
  const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
    port = port_of(a);
  if (fd >= 0) ::close(fd);
  return port;
}

bool send_text(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  listen_on_loopback();
}

LoopbackServer::LoopbackServer(Responder responder) : responder_(std::move(responder)) {
  listen_on_loopback();
}

// Close-on-exec throughout: a child process a test starts must not keep a
// connection open after the server has closed it.
void LoopbackServer::listen_on_loopback() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  socklen_t length = 0;
  sockaddr_storage a = loopback_address("127.0.0.1", 0, length);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), length) != 0 ||
      ::listen(listen_fd_, 64) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
    return;
  port_ = port_of(a);
  acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& t : workers_) t.join();
  ::close(listen_fd_);
}

std::vector<std::string> LoopbackServer::heads() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> heads;
  for (const CapturedRequest& r : requests_) heads.push_back(r.head);
  return heads;
}

std::vector<CapturedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool LoopbackServer::wait_readable(int fd) const {
  while (!stopping_) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, kSliceMs);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

void LoopbackServer::accept_loop() {
  while (wait_readable(listen_fd_)) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

// The head is read a byte at a time so that nothing after it (a body, a
// tunnel's first bytes) is taken from a handler.
std::optional<CapturedRequest> LoopbackServer::read_request(int fd, bool with_body) {
  CapturedRequest r;
  char c;
  while (!r.head.ends_with("\r\n\r\n")) {
    if (!wait_readable(fd) || ::recv(fd, &c, 1, 0) != 1) return std::nullopt;
    r.head += c;
  }
  parse_head(r);
  if (with_body) {
    const std::size_t length =
        std::strtoul(r.header("Content-Length").value_or("0").c_str(), nullptr, 10);
    char buffer[8192];
    while (r.body.size() < length) {
      if (!wait_readable(fd)) return std::nullopt;
      const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, length - r.body.size()), 0);
      if (n <= 0) return std::nullopt;
      r.body.append(buffer, static_cast<std::size_t>(n));
    }
  }
  std::lock_guard lock(mutex_);
  requests_.push_back(r);
  return r;
}

void LoopbackServer::serve(int fd) {
  if (handler_) {
    if (const auto request = read_request(fd, false)) handler_(fd, request->head);
    ::close(fd);
    return;
  }
  while (const auto request = read_request(fd, true)) {
    const std::optional<std::string> answer = responder_(*request);
    if (!answer) {  // swallow whatever comes until the client or the server gives up
      char sink[4096];
      while (wait_readable(fd) && ::recv(fd, sink, sizeof sink, 0) > 0) {
      }
      break;
    }
    if (!send_text(fd, *answer)) break;
  }
  ::close(fd);
}

LoopbackServer::Handler LoopbackServer::proxy() {
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
