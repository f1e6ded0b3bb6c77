#include "socket.h"

#include <fcntl.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <utility>

#include "name_resolver.h"
#include "tls_stream.h"

namespace lumora {
namespace {

using Clock = std::chrono::steady_clock;

// One socket is used by one thread at a time; the fault is read on the
// thread that met it, right after the failed call.
thread_local SocketFault tl_fault = SocketFault::kCall;
thread_local int tl_error = 0;

// Called right after the failing system call, so errno is still its.
IoStatus failed(SocketFault fault) {
  tl_fault = fault;
  tl_error = fault == SocketFault::kCall || fault == SocketFault::kWaitFailed ? errno : 0;
  return IoStatus::kError;
}

// How long a wait below the low mark holds on to bytes that did arrive.
constexpr int kCollectSliceMs = 250;

constexpr int kPollNotWaited = -2;
constexpr int kPollConnectionError = -3;

bool bytes_waiting(int fd) {
  int n = 0;
  return ::ioctl(fd, FIONREAD, &n) == 0 && n > 0;
}

// Polls `fd` (when not -1) and the stop descriptor until one is ready or
// the deadline passes. 1: `fd` ready, 0: time out, -1: the poll failed,
// kPollNotWaited, kPollConnectionError; a stop shows as marks.raised()
// afterwards.
int poll_until(int fd, short events, Clock::time_point deadline, const StopMarks& marks) {
  for (;;) {
    if (marks.raised()) return 0;
    pollfd p[2] = {{fd, events, 0}, {marks.wake_fd, POLLIN, 0}};
    const int left = ms_until(deadline);
    const int wait = marks.wake_fd >= 0 ? left : std::min(left, kWaitSliceMs);
    const int n = ::poll(p, 2, wait);
    if (n > 0 && (p[0].revents & POLLNVAL)) return kPollNotWaited;
    // Data that came before the error is still to be read.
    if (n > 0 && (p[0].revents & POLLERR) && !bytes_waiting(fd)) return kPollConnectionError;
    if (n > 0 && p[0].revents != 0) return 1;
    if (n < 0 && errno != EINTR) return -1;
    if (n == 0 && left == 0) return 0;
  }
}

}  // namespace

int ms_until(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

SocketFault last_socket_fault() { return tl_fault; }
int last_socket_error() { return tl_error; }

IoStatus socket_failure(SocketFault fault, int error) {
  tl_fault = fault;
  tl_error = error;
  return IoStatus::kError;
}

IoStatus wait_socket(int fd, short events, int timeout_ms, const StopMarks& marks) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const int n = poll_until(fd, events, deadline, marks);
  if (marks.raised()) return IoStatus::kStopped;
  if (n == kPollNotWaited) return failed(SocketFault::kNotWaited);
  if (n == kPollConnectionError) return failed(SocketFault::kConnectionError);
  if (n < 0) return failed(SocketFault::kWaitFailed);
  return n > 0 ? IoStatus::kOk : IoStatus::kTimeout;
}

bool wait_unless_stopped(int ms, const StopMarks& marks) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!marks.raised() && ms_until(deadline) > 0) poll_until(-1, 0, deadline, marks);
  return !marks.raised();
}

Socket::Socket() = default;
Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), low_mark_(std::exchange(other.low_mark_, 1)),
      tls_(std::move(other.tls_)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    low_mark_ = std::exchange(other.low_mark_, 1);
    tls_ = std::move(other.tls_);
  }
  return *this;
}

void Socket::close() {
  tls_.reset();  // its goodbye goes out before the descriptor closes
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  low_mark_ = 1;
}

IoStatus Socket::wait_ready(short events, int timeout_ms, const StopMarks& marks) {
  return wait_socket(fd_, events, timeout_ms, marks);
}

HandshakeResult Socket::start_tls(TlsClient& client, const Text& host, int port,
                                  const HandshakeLimits& limits, const StopMarks& marks) {
  if (fd_ < 0) {
    socket_failure(SocketFault::kNoSocket, 0);
    return {.fault = HandshakeFault::kBroken};
  }
  tls_ = std::make_unique<TlsStream>(client, host, port);
  return tls_->handshake(fd_, limits, marks);
}

IoStatus Socket::connect(const Text& host, int port, int timeout_ms, const StopMarks& marks,
                         bool* resolve_failed) {
  close();
  tl_fault = SocketFault::kCall;
  tl_error = 0;
  if (resolve_failed) *resolve_failed = false;
  AddressList list;
  const ResolveStatus resolved = resolve_host(host, port, marks, list);
  if (resolved == ResolveStatus::kStopped) return IoStatus::kStopped;
  if (resolved != ResolveStatus::kOk) {
    if (resolve_failed) *resolve_failed = true;
    return IoStatus::kError;
  }
  IoStatus status = IoStatus::kError;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int untried = 0;
  for (addrinfo* ai = list.get(); ai; ai = ai->ai_next) ++untried;
  for (addrinfo* ai = list.get(); ai; ai = ai->ai_next, --untried) {
    fd_ = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                   ai->ai_protocol);
    if (fd_ < 0) {
      status = failed(SocketFault::kCall);
      continue;
    }
    // Each address gets its share of what is left, so one that never
    // answers cannot use up the time the next one would have answered in.
    const int share = std::max(1, ms_until(deadline) / untried);
    if (::connect(fd_, ai->ai_addr, ai->ai_addrlen) == 0) {
      status = IoStatus::kOk;
    } else if (errno == EINPROGRESS) {
      status = wait_ready(POLLOUT, share, marks);
      // A refused or unreachable peer shows as an error on the wait; the socket holds its errno.
      const bool broke = status == IoStatus::kError && tl_fault == SocketFault::kConnectionError;
      int error = 0;
      socklen_t len = sizeof error;
      if ((status == IoStatus::kOk || broke) &&
          ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
        status = failed(SocketFault::kStateFailed);
      } else if ((status == IoStatus::kOk || broke) && error != 0) {
        status = IoStatus::kError;
        tl_error = error;
      }
    } else {
      status = IoStatus::kError;
      tl_error = errno;
    }
    if (status == IoStatus::kOk || status == IoStatus::kStopped) break;
    close();
  }
  if (status != IoStatus::kOk) {
    close();
    return status;
  }
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return IoStatus::kOk;
}

IoStatus Socket::send_all(std::string_view data, int timeout_ms, const StopMarks& marks) {
  if (fd_ < 0) return failed(SocketFault::kNoSocket);
  if (tls_) return tls_->send_all(fd_, data, timeout_ms, marks);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!data.empty()) {
    const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return failed(SocketFault::kCall);
    const IoStatus ready = wait_ready(POLLOUT, ms_until(deadline), marks);
    if (ready != IoStatus::kOk) return ready;
  }
  return IoStatus::kOk;
}

IoStatus Socket::receive(char* buffer, std::size_t size, std::size_t& got, int timeout_ms,
                         const StopMarks& marks) {
  got = 0;
  if (fd_ < 0) return failed(SocketFault::kNoSocket);
  if (tls_) return tls_->receive(fd_, buffer, size, got, timeout_ms, marks);
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, size, 0);
    if (n > 0) {
      got = static_cast<std::size_t>(n);
      return IoStatus::kOk;
    }
    if (n == 0) return IoStatus::kClosed;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return failed(SocketFault::kCall);
    const IoStatus ready = wait_readable(timeout_ms, marks);
    if (ready != IoStatus::kOk) return ready;
  }
}

IoStatus Socket::wait_readable(int timeout_ms, const StopMarks& marks) {
  if (low_mark_ <= 1) return wait_ready(POLLIN, timeout_ms, marks);
  // Below the low mark the wait is cut into slices, each handing over what
  // did arrive: a slow stream is stored as it comes, and only a whole
  // time-out without a byte is one.
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const int left = ms_until(deadline);
    const IoStatus s = wait_ready(POLLIN, std::min(left, kCollectSliceMs), marks);
    if (s != IoStatus::kTimeout) return s;
    if (bytes_waiting(fd_)) return IoStatus::kOk;
    if (left <= kCollectSliceMs) return IoStatus::kTimeout;
  }
}

IoStatus Socket::receive_into_pipe(int pipe_fd, std::size_t size, std::size_t& got,
                                   int timeout_ms, const StopMarks& marks) {
  got = 0;
  if (fd_ < 0) return failed(SocketFault::kNoSocket);
  if (tls_) return socket_failure(SocketFault::kCall, EOPNOTSUPP);
  for (;;) {
    const ssize_t n =
        ::splice(fd_, nullptr, pipe_fd, nullptr, size, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
    if (n > 0) {
      got = static_cast<std::size_t>(n);
      return IoStatus::kOk;
    }
    if (n == 0) return IoStatus::kClosed;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return failed(SocketFault::kCall);
    if (timeout_ms == 0) return IoStatus::kTimeout;
    const IoStatus ready = wait_readable(timeout_ms, marks);
    if (ready != IoStatus::kOk) return ready;
  }
}

void Socket::set_receive_low_mark(int bytes) {
  if (bytes == low_mark_ || tls_) return;
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes) == 0) low_mark_ = bytes;
}

IoStatus Socket::listen_beside(Socket& listener, Text& host, int& port) const {
  sockaddr_storage local{};
  socklen_t len = sizeof local;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&local);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&local);
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) != 0 ||
      (local.ss_family != AF_INET && local.ss_family != AF_INET6))
    return IoStatus::kError;
  const bool ipv6 = local.ss_family == AF_INET6;
  listener.close();
  listener.fd_ = ::socket(local.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  (ipv6 ? v6->sin6_port : v4->sin_port) = 0;
  if (listener.fd_ < 0 || ::bind(listener.fd_, reinterpret_cast<sockaddr*>(&local), len) != 0 ||
      ::listen(listener.fd_, 1) != 0 ||
      ::getsockname(listener.fd_, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    listener.close();
    return IoStatus::kError;
  }
  char text[INET6_ADDRSTRLEN] = {};
  ::inet_ntop(local.ss_family, ipv6 ? static_cast<const void*>(&v6->sin6_addr) : &v4->sin_addr,
              text, sizeof text);
  host = text;
  port = ntohs(ipv6 ? v6->sin6_port : v4->sin_port);
  return IoStatus::kOk;
}

IoStatus Socket::accept_one(Socket& peer, int timeout_ms, const StopMarks& marks) {
  for (;;) {
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      peer.close();
      peer.fd_ = fd;
      return IoStatus::kOk;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
      return IoStatus::kError;
    const IoStatus ready = wait_ready(POLLIN, timeout_ms, marks);
    if (ready != IoStatus::kOk) return ready;
  }
}

}  // namespace lumora
