// A file of pattern bytes served at a steady pace, for the engine's slow
// lines: every answer's head goes at once (200 with the length, or 206 from
// the Range's offset), then `step` bytes each `interval` until the file's
// end or until the engine hangs up. It counts how often each byte was sent.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "lumora/test_support/loopback_server.h"

namespace lumora::test {

class PacedFile {
 public:
  PacedFile(std::int64_t size, std::size_t step, std::chrono::milliseconds interval);
  // Serves requests for the file; the handler refers to this object.
  LoopbackServer::Handler handler();
  // Seconds one connection takes to send `bytes` at this pace.
  double seconds_for(std::int64_t bytes) const;
  // How often the byte sent most often was sent.
  int most_sends() const;

 private:
  void serve(int fd, const std::string& head);
  void count(std::int64_t from, std::int64_t to);

  const std::int64_t size_;
  const std::size_t step_;
  const std::chrono::milliseconds interval_;
  mutable std::mutex mutex_;
  std::vector<int> sends_;  // per byte
};

}  // namespace lumora::test
