// One connection of a task: a thread that fetches pieces until none is
// left, retrying transient failures. Created, started and joined by the
// task's control thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <thread>

#include "exchange_task.h"
#include "link.h"

namespace lumora {

class Connection {
 public:
  Connection(ExchangeTask& task, int id, std::optional<std::size_t> piece);
  ~Connection();
  // Throws std::system_error when no thread can be made.
  void start();
  void join();
  int id() const { return id_; }

 private:
  void run();
  TransferResult transfer_once(Link& link);

  ExchangeTask& task_;
  const int id_;
  std::optional<std::size_t> piece_;
  std::atomic<bool> stop_{false};  // this connection's own mark
  std::unique_ptr<char[]> buffer_;
  std::thread thread_;
};

}  // namespace lumora
