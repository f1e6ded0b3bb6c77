// Loopback servers that go quiet, for the engine's time-outs: one that
// accepts and says nothing, one that answers an HTTP request with a head
// (and a few body bytes) and then nothing, and one whose accept queue is
// full so that a connect hangs. Each records when connections came and
// when the peer closed them, for tests to wait on with deadlines.
#pragma once

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumora::test {

class MuteServer {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Mode {
    kSilent,          // reads what comes, never writes
    kHeadThenNothing, // after a request head: a 200 head (10000 bytes) and 1000 of them
    kQueueFull,       // never accepts until release_queue(); connects hang
  };
  struct Visit {
    Clock::time_point accepted;
    Clock::time_point closed;  // by the peer; unset while open
    std::string received;      // what the peer sent
  };

  explicit MuteServer(Mode mode);
  ~MuteServer();
  MuteServer(const MuteServer&) = delete;
  MuteServer& operator=(const MuteServer&) = delete;
  int port() const { return port_; }

  // Waits until `count` connections have been accepted / closed by their
  // peer; false when `limit` passed first.
  bool wait_accepted(std::size_t count, std::chrono::milliseconds limit);
  bool wait_closed(std::size_t count, std::chrono::milliseconds limit);
  // Waits until connection `index` has sent `text`.
  bool wait_received(std::size_t index, const std::string& text, std::chrono::milliseconds limit);
  std::vector<Visit> visits() const;
  // kQueueFull: takes the connection that fills the queue and starts
  // accepting, so the next connect gets through.
  void release_queue();

 private:
  void accept_loop();
  void serve(std::size_t index, int fd);

  const Mode mode_;
  int listen_fd_ = -1;
  int filler_fd_ = -1;  // kQueueFull: our own connection that fills the queue
  int port_ = 0;
  bool stop_ = false;      // mutex_
  bool accepting_ = true;  // mutex_
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Visit> visits_;
  std::list<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace lumora::test
