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
#include "socket.h"

namespace lumora {

// The connection buffer: no single receive asks for more.
inline constexpr std::size_t kConnectionBuffer = 20480;
inline constexpr int kRetryWaitMs = 5000;
inline constexpr int kMaxRetries = 999;

// How an attempt, or one step of it, ended. kGoOn is a step's "carry on
// with the next step"; a whole attempt never ends with it. kAskAgain: the
// answer has carried its span, the piece is asked for again at once.
enum class TransferResult { kPieceDone, kRetry, kFatal, kStopped, kGoOn, kAskAgain };

// Bytes one slow ranged answer carries before the piece is asked for
// again. A server that paces each answer lets a new one start with a burst
// (nginx grants a second's worth at once), which a peer's bounded ranges
// collect too; a fast answer runs on.
inline constexpr std::int64_t kAnswerSpan = 8 << 20;

// What one transfer attempt works with.
struct Link {
  ExchangeTask& task;
  int id;
  StopMarks marks;
  std::optional<std::size_t>& piece;  // set by the first connection once the size is known
  char* buffer;                       // kConnectionBuffer bytes
};

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

TransferResult http_transfer(Link& link);
TransferResult ftp_transfer(Link& link);
class FtpControl;
// The upload half of an FTP session, once logged in with the type set.
TransferResult ftp_upload(Link& link, FtpControl& control, bool resumable);
class ChunkedDecoder;
// How a body arrives: the file offset of its first byte, the offset past
// its last one (-1: up to the end of the stream), and its decoder when it
// comes in chunks (nullptr: the bytes as they are).
struct BodyFrame {
  std::int64_t offset = 0;
  std::int64_t end = -1;
  ChunkedDecoder* chunks = nullptr;
  // The body answers a Range from the piece's offset: when its first
  // kAnswerSpan bytes took over a second and more than that is left, the
  // attempt ends with kAskAgain.
  bool ranged = false;
};
// Stores the body arriving on `socket` into the link's piece until the
// piece is complete; bytes past the frame's end are never stored. A body
// that ends (or breaks) first is a failed attempt. `early` holds bytes that
// came with the head.
TransferResult receive_body(Link& link, Socket& socket, const BodyFrame& frame,
                            std::string_view early);
inline TransferResult receive_body(Link& link, Socket& socket, std::int64_t stream_offset,
                                   std::string_view early) {
  return receive_body(link, socket, BodyFrame{.offset = stream_offset}, early);
}

}  // namespace lumora
