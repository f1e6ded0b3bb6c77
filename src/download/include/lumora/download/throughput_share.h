// One throughput cap for several tasks at once: each task taking part may
// take the cap divided by the number taking part now, so that the tasks
// still running get the part of one that ends.
//
// Every member may be used from any thread at once. The share outlives
// every task whose TaskParam points to it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace lumora {

class ThroughputShare {
 public:
  // `bytes_per_second` over all the members together; 0 = no cap.
  explicit ThroughputShare(std::int64_t bytes_per_second) : cap_(bytes_per_second) {}
  ThroughputShare(const ThroughputShare&) = delete;
  ThroughputShare& operator=(const ThroughputShare&) = delete;

  // Bytes per second one member may take now: the cap over the members
  // (at least 1 byte), the whole cap while none takes part; 0 = no cap.
  std::int64_t per_member() const {
    if (cap_ <= 0) return 0;
    return std::max<std::int64_t>(1, cap_ / std::max(1, members_.load()));
  }

  // Taking part for as long as it lives: made before a task starts, ended
  // once it has ended.
  class Member {
   public:
    explicit Member(ThroughputShare& share) : share_(share) { ++share_.members_; }
    ~Member() { --share_.members_; }
    Member(const Member&) = delete;
    Member& operator=(const Member&) = delete;

   private:
    ThroughputShare& share_;
  };

 private:
  const std::int64_t cap_;
  std::atomic<int> members_{0};
};

}  // namespace lumora
