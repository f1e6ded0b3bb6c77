// What one transfer attempt of a connection works with, and how the
// attempt, or one step of it, ended.
#pragma once

#include <cstddef>
#include <optional>

#include "exchange_task.h"
#include "socket.h"

namespace lumora {

// The connection buffer: no single receive asks for more.
inline constexpr std::size_t kConnectionBuffer = 20480;

// kGoOn is a step's "carry on with the next step"; a whole attempt never
// ends with it. kAskAgain: the answer has carried its span, the piece is
// asked for again at once.
enum class TransferResult { kPieceDone, kRetry, kFatal, kStopped, kGoOn, kAskAgain };

struct Link {
  ExchangeTask& task;
  int id;
  StopMarks marks;
  std::optional<std::size_t>& piece;  // set by the first connection once the size is known
  char* buffer;                       // kConnectionBuffer bytes
};

}  // namespace lumora
