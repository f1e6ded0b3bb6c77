#include "transfer_common.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "log_text.h"
#include "lumora/download/chunked_decoder.h"
#include "lumora/text/code_page.h"

namespace lumora {

using namespace log_text;

TransferResult dial(Link& link, Socket& socket, const Text& host, int port, bool proxy) {
  ExchangeTask& task = link.task;
  const Text port_text = std::to_string(port);
  if (task.logging()) {
    task.log(kLogProgress, format_log(gbk(proxy ? kProxyResolving : kResolving), {host}));
    task.log(kLogProgress,
             format_log(gbk(proxy ? kProxyConnecting : kConnecting), {host, port_text}));
  }
  bool resolve_failed = false;
  const IoStatus s = socket.connect(host, port, task.param().connect_timeout_ms, link.marks,
                                    &resolve_failed);
  if (s == IoStatus::kOk) {
    task.log(kLogProgress, format_log(gbk(kConnected), {host, port_text}));
    return TransferResult::kGoOn;
  }
  if (s == IoStatus::kStopped) return TransferResult::kStopped;
  if (resolve_failed) {
    task.report_trouble({FailureKind::kResolveFailed,
                         format_log(gbk(proxy ? kProxyResolveFailed : kResolveFailed), {host})});
  } else if (s == IoStatus::kTimeout) {
    task.report_trouble(
        {FailureKind::kConnectTimeout, format_log(gbk(kConnectTimeout), {host, port_text})});
  } else {
    if (last_socket_fault() == SocketFault::kStateFailed)
      task.log(kLogError, gbk(kSocketStateFailed));
    task.report_trouble({FailureKind::kConnectFailed,
                         format_log(gbk(kConnectFailed), {host, port_text}), 0,
                         last_socket_error()});
  }
  return TransferResult::kRetry;
}

namespace {

const char8_t* fault_text(SocketFault fault, bool sending) {
  switch (fault) {
    case SocketFault::kNoSocket: return kNoSocket;
    case SocketFault::kWaitFailed: return kWaitFailed;
    case SocketFault::kNotWaited: return kNotWaited;
    case SocketFault::kConnectionError: return kConnectionError;
    case SocketFault::kStateFailed: return kSocketStateFailed;
    case SocketFault::kCall: break;
  }
  return sending ? kSendError : kReceiveError;
}

}  // namespace

TransferResult io_failure(Link& link, IoStatus status, bool sending) {
  switch (status) {
    case IoStatus::kStopped: return TransferResult::kStopped;
    case IoStatus::kTimeout:
      link.task.report_trouble(
          {FailureKind::kNoAnswer, gbk(sending ? kWaitTimeout : kReceiveTimeout)});
      break;
    default:
      link.task.report_trouble({FailureKind::kConnectionLost,
                                gbk(fault_text(last_socket_fault(), sending)), 0,
                                last_socket_error()});
      break;
  }
  return TransferResult::kRetry;
}

namespace {

// Bytes per second the task may take now over all its connections; 0 = none.
std::int64_t task_cap(const TaskParam& p) {
  return p.throughput_share ? p.throughput_share->per_member() : p.throughput_cap;
}

}  // namespace

std::size_t receive_size(const Link& link) {
  const TaskParam& p = link.task.param();
  std::size_t n = kConnectionBuffer;
  if (p.receive_block_size > 0) n = std::min(n, static_cast<std::size_t>(p.receive_block_size));
  if (const std::int64_t cap = task_cap(p); cap > 0) {
    const int open = std::max(1, link.task.open_connections());
    n = std::min(n, static_cast<std::size_t>(std::max<std::int64_t>(1, cap / open)));
  }
  return n;
}

namespace {

// Keeps one connection under its share of the throughput cap (bytes per
// second over all connections), waiting in stop-aware slices. A shared cap
// may change between calls: the bytes so far keep the time the old cap gave
// them, and the new one paces what follows.
class Pacer {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Pacer(const Link& link)
      : link_(link), cap_(task_cap(link.task.param())), start_(Clock::now()), due_(start_) {}
  bool after(std::size_t bytes) {
    const std::int64_t cap = task_cap(link_.task.param());
    if (cap <= 0) return true;
    if (cap != cap_) {
      start_ = std::max(Clock::now(), due_);
      total_ = 0;
      cap_ = cap;
    }
    total_ += static_cast<std::int64_t>(bytes);
    const double share = static_cast<double>(cap) / std::max(1, link_.task.open_connections());
    due_ = start_ + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(total_) / share));
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due_ - Clock::now());
    return wait.count() <= 0 || wait_unless_stopped(static_cast<int>(wait.count()), link_.marks);
  }

 private:
  const Link& link_;
  std::int64_t cap_;
  Clock::time_point start_;
  Clock::time_point due_;  // when the bytes so far may all have come
  std::int64_t total_ = 0;
};

// Stores what part of a block belongs to the piece: kMore to go on, kDone
// once the piece is whole, kBad on a position mismatch, kFailed when the
// file refused the bytes, kEnded when the body ended (or broke) first.
enum class Stored { kMore, kDone, kBad, kFailed, kEnded };

// Where the body stands: the file offset of its next byte and its frame.
struct BodyAt {
  std::int64_t stream;
  const BodyFrame& frame;
  // Bytes of a block that are still the body's own.
  std::size_t within(std::size_t length) const {
    if (frame.end < 0) return length;
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>(frame.end - stream, 0, static_cast<std::int64_t>(length)));
  }
  bool at_end() const { return frame.end >= 0 && stream >= frame.end; }
};

Stored store_block(Link& link, BodyAt& body, const char* data, std::size_t length) {
  ExchangeTask& task = link.task;
  const Segment s = task.piece(*link.piece);
  length = body.within(length);
  std::int64_t skip = 0;
  if (body.stream < s.next_offset())  // a whole-file answer to a piece request
    skip = std::min<std::int64_t>(static_cast<std::int64_t>(length), s.next_offset() - body.stream);
  if (body.stream > s.next_offset()) return Stored::kBad;
  body.stream += static_cast<std::int64_t>(length);
  const std::size_t rest = length - static_cast<std::size_t>(skip);
  if (rest > 0) {
    const std::int64_t n = task.store(*link.piece, s.next_offset(), data + skip, rest);
    if (n == ExchangeTask::kStoreFailed) return Stored::kFailed;
    if (n < 0) return Stored::kBad;
    if (n < static_cast<std::int64_t>(rest)) return Stored::kDone;  // the piece ended
  }
  if (task.piece(*link.piece).remaining() == 0) return Stored::kDone;
  return body.at_end() ? Stored::kEnded : Stored::kMore;
}

// Decodes a block of a chunked body in place and stores its body bytes.
Stored store_chunks(Link& link, BodyAt& body, const char* data, std::size_t length) {
  ChunkedDecoder& chunks = *body.frame.chunks;
  Stored st = Stored::kMore;
  std::size_t used = 0;
  const ChunkedDecoder::Status s =
      chunks.feed(std::string_view(data, length), used, [&](std::string_view run) {
        if (st == Stored::kMore) st = store_block(link, body, run.data(), run.size());
      });
  if (st != Stored::kMore) return st;
  return s == ChunkedDecoder::Status::kMore ? Stored::kMore : Stored::kEnded;
}

Stored store_any(Link& link, BodyAt& body, const char* data, std::size_t length) {
  return body.frame.chunks ? store_chunks(link, body, data, length)
                           : store_block(link, body, data, length);
}

// An answer that took longer than this for its span is asked again.
constexpr std::chrono::seconds kSlowSpan{1};

// Receives in step with the piece go straight to their place in the file,
// several at a time when no cap paces them: each write takes the file's
// lock, which ten connections would otherwise spin on.
constexpr std::size_t kReceivesPerWrite = 8;

// A pipe that carries a block from the socket to the file without a copy
// through user space; not usable (-1) when the system gives none.
class SplicePipe {
 public:
  SplicePipe() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
    // Room for a whole batch of receives; the default size only limits how
    // many are taken at once.
    else ::fcntl(fds_[1], F_SETPIPE_SZ, static_cast<int>(kConnectionBuffer * kReceivesPerWrite));
  }
  ~SplicePipe() {
    if (fds_[0] >= 0) ::close(fds_[0]);
    if (fds_[1] >= 0) ::close(fds_[1]);
  }
  SplicePipe(const SplicePipe&) = delete;
  SplicePipe& operator=(const SplicePipe&) = delete;
  bool usable() const { return fds_[0] >= 0; }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }

 private:
  int fds_[2] = {-1, -1};
};

// Where bytes that go through memory are read to: the connection buffer,
// or, over TLS with no cap, a buffer for several receives, so that their
// decrypted bytes reach the file in one write as spliced ones do.
class Landing {
 public:
  Landing(const Link& link, const Socket& socket)
      : owned_(!socket.can_splice() && task_cap(link.task.param()) <= 0
                   ? new char[kConnectionBuffer * kReceivesPerWrite]
                   : nullptr),
        data_(owned_ ? owned_.get() : link.buffer) {}
  char* data() const { return data_; }
  std::size_t size(const Link& link) const {
    return receive_size(link) * (owned_ ? kReceivesPerWrite : 1);
  }

 private:
  std::unique_ptr<char[]> owned_;
  char* data_;
};

Stored receive_in_place(Link& link, Socket& socket, SplicePipe& pipe, BodyAt& body,
                        std::size_t& got, IoStatus& status) {
  ExchangeTask& task = link.task;
  const std::size_t one = body.within(receive_size(link));
  std::int64_t offset = 0;
  // While waiting, claim one receive only: a larger claim would keep other
  // connections from splitting those bytes off for as long as the wait lasts.
  std::size_t room = static_cast<std::size_t>(task.claim(*link.piece, one, offset));
  status = socket.receive_into_pipe(pipe.write_end(), room, got,
                                    task.param().receive_timeout_ms, link.marks);
  if (status == IoStatus::kOk && got == room && task_cap(task.param()) <= 0) {
    // Then what has already arrived, without waiting.
    room = static_cast<std::size_t>(
        task.claim(*link.piece, body.within(one * kReceivesPerWrite), offset));
    while (got < room) {
      std::size_t more = 0;
      if (socket.receive_into_pipe(pipe.write_end(), std::min(one, room - got), more, 0,
                                   link.marks) != IoStatus::kOk)
        break;
      got += more;
    }
  }
  if (task.store_claimed(*link.piece, offset, pipe.read_end(), got) == ExchangeTask::kStoreFailed)
    return Stored::kFailed;
  body.stream += static_cast<std::int64_t>(got);
  if (task.piece(*link.piece).remaining() == 0) return Stored::kDone;
  return body.at_end() ? Stored::kEnded : Stored::kMore;
}

}  // namespace

TransferResult receive_body(Link& link, Socket& socket, const BodyFrame& frame,
                            std::string_view early) {
  ExchangeTask& task = link.task;
  BodyAt body{frame.offset, frame};
  constexpr std::int64_t kProgressStep = 1 << 20;
  std::int64_t since_progress = 0;
  Stored st = Stored::kMore;
  if (task.piece(*link.piece).remaining() == 0) return TransferResult::kPieceDone;
  if (!early.empty()) st = store_any(link, body, early.data(), early.size());
  Pacer pacer(link);
  SplicePipe pipe;
  const Landing landing(link, socket);
  bool ask_again = frame.ranged;
  const auto began = std::chrono::steady_clock::now();
  while (st == Stored::kMore) {
    if (link.marks.raised()) return TransferResult::kStopped;
    std::size_t got = 0;
    const Segment piece = task.piece(*link.piece);
    // Never wait for more than the piece still needs: a server may hold the
    // stream open after the last byte.
    const std::int64_t last = frame.end >= 0 ? std::min(piece.end(), frame.end) : piece.end();
    const std::int64_t to_end = std::max<std::int64_t>(1, last - body.stream);
    socket.set_receive_low_mark(static_cast<int>(
        std::min<std::int64_t>(static_cast<std::int64_t>(receive_size(link)), to_end)));
    IoStatus s;
    if (!frame.chunks && pipe.usable() && socket.can_splice() &&
        body.stream == piece.next_offset()) {
      st = receive_in_place(link, socket, pipe, body, got, s);
      if (st == Stored::kFailed) return TransferResult::kFatal;
    } else {  // chunks, TLS, and a whole-file answer being read past go through the buffer
      s = socket.receive(landing.data(), landing.size(link), got, task.param().receive_timeout_ms,
                         link.marks);
      if (s == IoStatus::kOk) st = store_any(link, body, landing.data(), got);
    }
    if (s == IoStatus::kClosed) st = Stored::kEnded;
    else if (s != IoStatus::kOk) return io_failure(link, s, false);
    since_progress += static_cast<std::int64_t>(got);
    if (since_progress >= kProgressStep) {
      task.post_event(TaskEventKind::kBytesStored, link.id, since_progress, body.stream);
      since_progress = 0;
    }
    if (st == Stored::kMore && !pacer.after(got)) return TransferResult::kStopped;
    if (ask_again && st == Stored::kMore && body.stream - frame.offset >= kAnswerSpan) {
      // Only a slow answer: a fast one gains nothing from a new start.
      ask_again = false;
      if (std::chrono::steady_clock::now() - began > kSlowSpan &&
          task.piece(*link.piece).remaining() > kAnswerSpan)
        return TransferResult::kAskAgain;
    }
  }
  switch (st) {
    case Stored::kFailed: return TransferResult::kFatal;
    case Stored::kBad:
      task.report_trouble({FailureKind::kConnectionLost, gbk(kPositionError)});
      return TransferResult::kRetry;
    case Stored::kEnded:  // the body ended short, or its chunks broke
      task.report_trouble({FailureKind::kConnectionLost, gbk(kReceiveError)});
      return TransferResult::kRetry;
    default: return TransferResult::kPieceDone;
  }
}

}  // namespace lumora
