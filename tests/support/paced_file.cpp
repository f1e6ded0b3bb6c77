#include "lumora/test_support/paced_file.h"

#include <algorithm>
#include <thread>

namespace lumora::test {

PacedFile::PacedFile(std::int64_t size, std::size_t step, std::chrono::milliseconds interval)
    : size_(size), step_(step), interval_(interval), sends_(static_cast<std::size_t>(size)) {}

LoopbackServer::Handler PacedFile::handler() {
  return [this](int fd, const std::string& head) { serve(fd, head); };
}

double PacedFile::seconds_for(std::int64_t bytes) const {
  const double steps = static_cast<double>(bytes) / static_cast<double>(step_);
  return steps * std::chrono::duration<double>(interval_).count();
}

int PacedFile::most_sends() const {
  std::lock_guard lock(mutex_);
  return *std::max_element(sends_.begin(), sends_.end());
}

void PacedFile::count(std::int64_t from, std::int64_t to) {
  std::lock_guard lock(mutex_);
  for (std::int64_t i = from; i < to; ++i) ++sends_[static_cast<std::size_t>(i)];
}

void PacedFile::serve(int fd, const std::string& head) {
  const std::int64_t from = std::max<std::int64_t>(0, range_from(head));
  const std::string size = std::to_string(size_);
  const std::string answer =
      range_from(head) < 0
          ? "HTTP/1.1 200 OK\r\nContent-Length: " + size + "\r\n\r\n"
          : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                std::to_string(size_ - 1) + "/" + size +
                "\r\nContent-Length: " + std::to_string(size_ - from) + "\r\n\r\n";
  // The first step goes with the head, as a server's first write would.
  std::int64_t at = std::min(size_, from + static_cast<std::int64_t>(step_));
  if (!send_text(fd, answer + pattern_body(from, at))) return;
  count(from, at);
  while (at < size_) {
    std::this_thread::sleep_for(interval_);
    const std::int64_t next = std::min(size_, at + static_cast<std::int64_t>(step_));
    if (!send_text(fd, pattern_body(at, next))) return;
    count(at, next);
    at = next;
  }
}

}  // namespace lumora::test
