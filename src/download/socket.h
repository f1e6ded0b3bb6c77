// A TCP connection whose every wait also watches the task's stop signal, so
// a stop ends a wait at once without killing the thread. One thread uses a
// Socket at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// The connection's and the task's stop marks, and the descriptor that
// becomes readable when the task's mark is raised (-1: none, and waits then
// fall back to 10 ms slices that look at the marks).
struct StopMarks {
  const std::atomic<bool>* connection = nullptr;
  const std::atomic<bool>* task = nullptr;
  int wake_fd = -1;
  bool raised() const {
    return (connection && connection->load(std::memory_order_relaxed)) ||
           (task && task->load(std::memory_order_relaxed));
  }
};

enum class IoStatus { kOk, kClosed, kTimeout, kError, kStopped };

inline constexpr int kWaitSliceMs = 10;

// What made this thread's last kError of send_all, receive or
// receive_into_pipe, for the log: the call itself (kCall), no socket open
// (kNoSocket), the readiness wait failing (kWaitFailed), the wait not
// knowing the socket (kNotWaited), or an error the connection reported
// (kConnectionError). Connect's failures are told by connect itself;
// kStateFailed is its socket-state query failing.
enum class SocketFault { kCall, kNoSocket, kWaitFailed, kNotWaited, kConnectionError, kStateFailed };
SocketFault last_socket_fault();
// The errno of this thread's last failed send, receive or connect (a
// connect's own error, ECONNREFUSED say); 0 when the failure had none.
int last_socket_error();

// Milliseconds until `deadline`, rounded up so that a wait for them never
// ends early; 0 once it has passed.
int ms_until(std::chrono::steady_clock::time_point deadline);

// Waits `ms`; false when a mark was raised first.
bool wait_unless_stopped(int ms, const StopMarks& marks);

// For layers over a Socket's descriptor (TLS): waits until `fd` is ready
// for `events` (POLLIN, POLLOUT), `timeout_ms` passes or a mark is raised;
// and records a failure for last_socket_fault() and last_socket_error()
// (returns kError).
IoStatus wait_socket(int fd, short events, int timeout_ms, const StopMarks& marks);
IoStatus socket_failure(SocketFault fault, int error);

class TlsClient;
class TlsStream;
struct HandshakeResult;
struct HandshakeLimits;

class Socket {
 public:
  Socket();
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Resolves `host` (name_resolver.h: a stop ends the wait for a name) and
  // tries its addresses, IPv6 and IPv4, in the resolver's order until one
  // answers, all within `timeout_ms`: an address that refuses passes at
  // once to the next, one that stays silent has its share of the time left.
  // kError also covers a name that does not resolve (`resolve_failed` tells
  // which); otherwise the last address's failure is the one reported.
  IoStatus connect(const Text& host, int port, int timeout_ms, const StopMarks& marks,
                   bool* resolve_failed = nullptr);
  // Makes the connection speak TLS to `host` (tls_stream.h): the handshake,
  // with the peer's certificate checked for that name. From then on
  // send_all and receive carry the plain text; close() says goodbye.
  HandshakeResult start_tls(TlsClient& client, const Text& host, int port,
                            const HandshakeLimits& limits, const StopMarks& marks);
  // False over TLS: the bytes on the wire are not the body's.
  bool can_splice() const { return !tls_; }
  // Sends everything; `timeout_ms` for the whole text.
  IoStatus send_all(std::string_view data, int timeout_ms, const StopMarks& marks);
  // Waits up to `timeout_ms` for data, then reads at most `size` bytes.
  // kClosed when the peer ended the stream. kTimeout only when no byte came
  // in that time; bytes below the low mark are read within a quarter second.
  IoStatus receive(char* buffer, std::size_t size, std::size_t& got, int timeout_ms,
                   const StopMarks& marks);
  // As receive(), but the bytes go into the pipe `pipe_fd` (splice). A
  // `timeout_ms` of 0 takes only what is there: kTimeout when nothing is,
  // or when the pipe is full.
  IoStatus receive_into_pipe(int pipe_fd, std::size_t size, std::size_t& got, int timeout_ms,
                             const StopMarks& marks);
  void close();
  bool is_open() const { return fd_ >= 0; }
  // A receive's wait ends once `bytes` have arrived (or the stream ended),
  // so a fast stream wakes the thread once a block rather than once a
  // packet; a slow one is read at least every quarter second. Only a
  // speed-up: failures are ignored. Not over TLS, whose layer may hold part
  // of a record the mark would wait past.
  void set_receive_low_mark(int bytes);

  // Listens on a free port of the address (IPv4 or IPv6) this connected
  // socket speaks from; `listener` gets the listening socket, `host` and
  // `port` what a peer must connect to. kError when refused.
  IoStatus listen_beside(Socket& listener, Text& host, int& port) const;
  // On a listening socket: waits up to `timeout_ms` for one peer and makes
  // `peer` its connection.
  IoStatus accept_one(Socket& peer, int timeout_ms, const StopMarks& marks);

 private:
  IoStatus wait_ready(short events, int timeout_ms, const StopMarks& marks);
  IoStatus wait_readable(int timeout_ms, const StopMarks& marks);
  int fd_ = -1;
  int low_mark_ = 1;  // the system's default
  std::unique_ptr<TlsStream> tls_;

 public:
  // The descriptor, for moving data without a copy through user space;
  // -1 when closed.
  int native() const { return fd_; }
};

}  // namespace lumora
