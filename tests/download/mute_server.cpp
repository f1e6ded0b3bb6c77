#include "mute_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

constexpr char kHead[] = "HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n";

}  // namespace

MuteServer::MuteServer(Mode mode) : mode_(mode) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  // A backlog of 0 holds one connection: ours, so the kernel drops the
  // SYNs of every other one until it is taken.
  ::listen(listen_fd_, mode == Mode::kQueueFull ? 0 : 16);
  socklen_t len = sizeof a;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  if (mode == Mode::kQueueFull) {
    filler_fd_ = connect_loopback(port_);
    accepting_ = false;
  }
  acceptor_ = std::thread([this] { accept_loop(); });
}

MuteServer::~MuteServer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  acceptor_.join();
  for (std::thread& t : workers_) t.join();
  if (filler_fd_ >= 0) ::close(filler_fd_);
  ::close(listen_fd_);
}

void MuteServer::release_queue() {
  std::lock_guard lock(mutex_);
  accepting_ = true;
}

void MuteServer::accept_loop() {
  bool filler_taken = mode_ != Mode::kQueueFull;
  for (;;) {
    bool accepting;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      accepting = accepting_;
    }
    pollfd p{listen_fd_, POLLIN, 0};
    if (!accepting || ::poll(&p, 1, 10) <= 0) {
      if (!accepting) ::poll(nullptr, 0, 10);
      continue;
    }
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    if (!filler_taken) {  // the queue's first is our own filler
      filler_taken = true;
      ::close(fd);
      continue;
    }
    std::lock_guard lock(mutex_);
    visits_.push_back({Clock::now(), {}, {}});
    cv_.notify_all();
    const std::size_t index = visits_.size() - 1;
    workers_.emplace_back([this, index, fd] { serve(index, fd); });
  }
}

void MuteServer::serve(std::size_t index, int fd) {
  bool answered = false;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int n = ::poll(&p, 1, 10);
    {
      std::lock_guard lock(mutex_);
      if (stop_) break;
    }
    if (n <= 0) continue;
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    std::lock_guard lock(mutex_);
    Visit& v = visits_[index];
    if (got <= 0) {
      v.closed = Clock::now();
      cv_.notify_all();
      break;
    }
    v.received.append(buffer, static_cast<std::size_t>(got));
    cv_.notify_all();
    if (mode_ == Mode::kHeadThenNothing && !answered &&
        v.received.find("\r\n\r\n") != std::string::npos) {
      answered = true;
      send_text(fd, std::string(kHead) + pattern_body(0, 1000));
    }
  }
  ::close(fd);
}

bool MuteServer::wait_accepted(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, limit, [&] { return visits_.size() >= count; });
}

bool MuteServer::wait_closed(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, limit, [&] {
    std::size_t closed = 0;
    for (const Visit& v : visits_) closed += v.closed != Clock::time_point{} ? 1 : 0;
    return closed >= count;
  });
}

bool MuteServer::wait_received(std::size_t index, const std::string& text,
                               std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, limit, [&] {
    return index < visits_.size() && visits_[index].received.find(text) != std::string::npos;
  });
}

std::vector<MuteServer::Visit> MuteServer::visits() const {
  std::lock_guard lock(mutex_);
  return visits_;
}

}  // namespace lumora::test
