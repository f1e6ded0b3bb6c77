#include "capture_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace lumora::test {
namespace {

constexpr int kSliceMs = 20;

// Waits for `fd` to be readable, looking at `stopping` between slices.
bool wait_readable(int fd, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, kSliceMs);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

int bound_socket(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
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

int closed_port() {
  int port = 0;
  const int fd = bound_socket(port);
  if (fd >= 0) close(fd);
  return port;
}

CaptureServer::CaptureServer(Responder responder) : responder_(std::move(responder)) {
  listener_ = bound_socket(port_);
  if (listener_ < 0 || listen(listener_, 64) != 0) return;
  acceptor_ = std::thread([this] { accept_loop(); });
}

CaptureServer::~CaptureServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& worker : workers) worker.join();
  if (listener_ >= 0) close(listener_);
}

std::vector<CapturedRequest> CaptureServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void CaptureServer::accept_loop() {
  while (wait_readable(listener_, stopping_)) {
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

bool CaptureServer::read_request(int fd, std::string& pending, CapturedRequest& request) {
  char buffer[8192];
  std::size_t end;
  while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
    if (!wait_readable(fd, stopping_)) return false;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string head = pending.substr(0, end);
  pending.erase(0, end + 4);
  std::size_t from = 0;
  std::size_t at = head.find("\r\n");
  request.request_line = head.substr(0, at);
  while (at != std::string::npos) {
    from = at + 2;
    at = head.find("\r\n", from);
    request.header_lines.push_back(head.substr(from, at == std::string::npos ? at : at - from));
  }
  const auto space = request.request_line.find(' ');
  request.target = request.request_line.substr(space + 1, request.request_line.rfind(' ') - space - 1);
  const std::size_t length = std::strtoul(request.header("Content-Length").value_or("0").c_str(), nullptr, 10);
  while (pending.size() < length) {
    if (!wait_readable(fd, stopping_)) return false;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
  request.body = pending.substr(0, length);
  pending.erase(0, length);
  return true;
}

void CaptureServer::serve(int fd) {
  std::string pending;
  for (;;) {
    CapturedRequest request;
    if (!read_request(fd, pending, request)) break;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    const std::optional<std::string> answer = responder_(request);
    if (!answer) {  // swallow whatever comes until the client or the server gives up
      char sink[4096];
      while (wait_readable(fd, stopping_) && recv(fd, sink, sizeof sink, 0) > 0) {
      }
      break;
    }
    send(fd, answer->data(), answer->size(), MSG_NOSIGNAL);
  }
  close(fd);
}

}  // namespace lumora::test
