// A flag that ends the simulator's deliberate waits (slow first byte, rate
// cap) at once when a server stops, so stopping never waits them out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace lumora::sim {

struct StopSignal {
  // False when the signal was raised before `deadline`.
  bool wait_until(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex);
    return !changed.wait_until(lock, deadline, [this] { return stopped; });
  }
  bool raised() {
    std::lock_guard lock(mutex);
    return stopped;
  }
  void raise() {
    {
      std::lock_guard lock(mutex);
      stopped = true;
    }
    changed.notify_all();
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool stopped = false;
};

}  // namespace lumora::sim
