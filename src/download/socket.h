// A TCP connection whose every wait is cut into 10 ms slices that look at
// the stop marks, so a stop is noticed at once without killing the thread.
// One thread uses a Socket at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// The connection's and the task's stop marks.
struct StopMarks {
  const std::atomic<bool>* connection = nullptr;
  const std::atomic<bool>* task = nullptr;
  bool raised() const {
    return (connection && connection->load(std::memory_order_relaxed)) ||
           (task && task->load(std::memory_order_relaxed));
  }
};

enum class IoStatus { kOk, kClosed, kTimeout, kError, kStopped };

inline constexpr int kWaitSliceMs = 10;

// Waits `ms` in slices; false when a mark was raised first.
bool wait_unless_stopped(int ms, const StopMarks& marks);

class Socket {
 public:
  Socket() = default;
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Resolves `host` (getaddrinfo) and connects to the first address that
  // answers within `timeout_ms`. kError also covers a name that does not
  // resolve (`resolve_failed` tells which).
  IoStatus connect(const Text& host, int port, int timeout_ms, const StopMarks& marks,
                   bool* resolve_failed = nullptr);
  // Sends everything; `timeout_ms` for the whole text.
  IoStatus send_all(std::string_view data, int timeout_ms, const StopMarks& marks);
  // Waits up to `timeout_ms` for data, then reads at most `size` bytes.
  // kClosed when the peer ended the stream.
  IoStatus receive(char* buffer, std::size_t size, std::size_t& got, int timeout_ms,
                   const StopMarks& marks);
  void close();
  bool is_open() const { return fd_ >= 0; }

 private:
  IoStatus wait_ready(short events, int timeout_ms, const StopMarks& marks);
  int fd_ = -1;
};

}  // namespace lumora
