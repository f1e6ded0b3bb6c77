// The HTTP exchange driven against a task of the test's own, so a piece can
// shrink under a running receive or the file can refuse a write at a chosen
// moment: the exchange must stop at the piece's end as it stands and must
// never report a refused write as a finished piece.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transfers.h"
#include "exchange_task.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/text/code_page.h"
#include "tls_client.h"
#include "transfer_common.h"

namespace lumora::test {
namespace {

constexpr std::int64_t kSize = 200000;

// One piece over an in-memory file. `shrink_to`: on the first claim after
// bytes have arrived, the piece's end moves down to there (or to what is
// already received or claimed, whichever is further), as a split by another
// connection would. `refuse_writes`: every store fails as a full disk would.
class MemoryTask final : public ExchangeTask {
 public:
  MemoryTask(const std::string& url, std::int64_t shrink_to, bool refuse_writes)
      : address_(*parse_address(url)), shrink_to_(shrink_to), refuse_(refuse_writes) {
    param_.url = url;
    param_.receive_timeout_ms = 10000;
    param_.connect_timeout_ms = 10000;
    param_.send_timeout_ms = 10000;
  }

  void mark_engine_thread() const override {}
  const TaskParam& param() const override { return param_; }
  const Address& address() const override { return address_; }
  const std::atomic<bool>& stop_mark() const override { return stop_; }
  int stop_wake_fd() const override { return -1; }
  bool size_known() const override { return size_ >= 0; }
  std::int64_t size() const override { return size_; }
  int open_connections() const override { return 1; }
  bool on_size_known(int connection, std::int64_t size, std::string_view, int,
                     std::size_t& piece) override {
    std::lock_guard lock(mutex_);
    size_ = size;
    file_.assign(static_cast<std::size_t>(size), '\0');
    segment_ = Segment{.start = 0, .length = size, .owner = connection, .in_use = true};
    piece = 0;
    return true;
  }
  std::optional<std::size_t> take_piece(int) override { return std::nullopt; }
  void release_piece(std::size_t) override {}
  Segment piece(std::size_t) const override {
    std::lock_guard lock(mutex_);
    return segment_;
  }
  std::int64_t store(std::size_t, std::int64_t offset, const char* data,
                     std::size_t length) override {
    std::lock_guard lock(mutex_);
    if (refuse_) return kStoreFailed;
    if (offset != segment_.next_offset()) return kStoreBadOffset;
    const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(length), segment_.remaining());
    std::memcpy(file_.data() + offset, data, static_cast<std::size_t>(n));
    segment_.received += n;
    return n;
  }
  std::int64_t claim(std::size_t, std::size_t length, std::int64_t& offset) override {
    std::lock_guard lock(mutex_);
    if (segment_.received > 0 && !shrunk_ && shrink_to_ >= 0) {
      shrunk_ = true;
      segment_.length = std::max(shrink_to_, segment_.received + segment_.reserved);
    }
    offset = segment_.next_offset();
    const auto room =
        std::min<std::int64_t>(static_cast<std::int64_t>(length), segment_.remaining());
    segment_.reserved = std::max(segment_.reserved, room);
    return segment_.reserved;
  }
  std::int64_t store_claimed(std::size_t, std::int64_t offset, int pipe_fd,
                             std::size_t length) override {
    std::lock_guard lock(mutex_);
    segment_.reserved = 0;
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::read(pipe_fd, file_.data() + offset + done, length - done);
      if (n <= 0) return kStoreFailed;
      done += static_cast<std::size_t>(n);
    }
    if (refuse_) return kStoreFailed;
    segment_.received += static_cast<std::int64_t>(length);
    return static_cast<std::int64_t>(length);
  }
  void on_upload_size(int, std::int64_t, std::size_t&) override {}
  void count_sent(std::size_t, std::int64_t) override {}
  std::optional<Text> resume_validator() const override { return std::nullopt; }
  bool resume_pending() const override { return false; }
  bool confirm_resume(const AnswerHead&, std::int64_t) override { return true; }
  bool confirm_resume_by_size(std::int64_t, bool) override { return true; }
  void note_validators(Text, Text) override {}
  bool same_version(const AnswerHead&) override { return true; }
  void note_ranges_ignored() override {}
  void fail() override {}
  TlsClient& tls_client() override { return tls_; }
  bool logging() const override { return true; }
  void log(int, Text message) override {
    std::lock_guard lock(mutex_);
    logs_.push_back(std::move(message));
  }
  void report_trouble(TaskFailure trouble) override { log(3, std::move(trouble.message)); }
  std::vector<Text> logs() const {
    std::lock_guard lock(mutex_);
    return logs_;
  }
  void post_event(TaskEventKind, int, std::int64_t, std::int64_t) override {}
  void post_connection_ended(int) override {}

  std::string file() const {
    std::lock_guard lock(mutex_);
    return file_;
  }

 private:
  TaskParam param_;
  Address address_;
  TlsClient tls_;
  std::atomic<bool> stop_{false};
  const std::int64_t shrink_to_;
  const bool refuse_;
  mutable std::mutex mutex_;
  std::int64_t size_ = -1;
  Segment segment_;
  bool shrunk_ = false;
  std::string file_;
  std::vector<Text> logs_;
};

// Answers every request with the whole file and holds the stream open a
// while after it, as servers may.
LoopbackServer whole_file_server() {
  return LoopbackServer([](int fd, const std::string&) {
    send_text(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n" +
                      pattern_body(0, kSize));
    char c;
    while (::read(fd, &c, 1) > 0) {
    }  // until the client closes
  });
}

TransferResult run_exchange(MemoryTask& task) {
  std::atomic<bool> own_stop{false};
  std::optional<std::size_t> piece;
  auto buffer = std::make_unique<char[]>(kConnectionBuffer);
  Link link{task, 1, StopMarks{&own_stop, &task.stop_mark(), task.stop_wake_fd()}, piece,
            buffer.get()};
  return http_transfer(link);
}

TEST(ExchangeTest, StopsAtTheEndOfAPieceThatShrankMeanwhile) {
  const LoopbackServer server = whole_file_server();
  MemoryTask task(server.url("/a.mp3"), 50000, false);
  ASSERT_EQ(run_exchange(task), TransferResult::kPieceDone);
  const Segment s = task.piece(0);
  ASSERT_LT(s.length, kSize);
  EXPECT_EQ(s.received, s.length);
  const std::string file = task.file();
  const auto end = static_cast<std::size_t>(s.length);
  EXPECT_EQ(file.substr(0, end), pattern_body(0, s.length));
  EXPECT_EQ(file.find_first_not_of('\0', end), std::string::npos) << "wrote past the piece";
}

TEST(ExchangeTest, ARefusedWriteEndsTheAttemptAsFatal) {
  const LoopbackServer server = whole_file_server();
  MemoryTask task(server.url("/a.mp3"), -1, true);
  EXPECT_EQ(run_exchange(task), TransferResult::kFatal);
  EXPECT_EQ(task.piece(0).received, 0);
}

// A socket that was never opened (or was closed) fails every call with the
// socket layer's own text, not a receive or send error.
TEST(ExchangeTest, CallsOnNoSocketLogTheMissingSocket) {
  MemoryTask task("http://127.0.0.1:9/a.mp3", -1, false);
  std::atomic<bool> own_stop{false};
  std::optional<std::size_t> piece;
  auto buffer = std::make_unique<char[]>(kConnectionBuffer);
  Link link{task, 1, StopMarks{&own_stop, &task.stop_mark(), -1}, piece, buffer.get()};
  Socket socket;
  std::size_t got = 0;
  const IoStatus received = socket.receive(buffer.get(), 16, got, 100, link.marks);
  EXPECT_EQ(io_failure(link, received, false), TransferResult::kRetry);
  const IoStatus sent = socket.send_all("GET", 100, link.marks);
  EXPECT_EQ(io_failure(link, sent, true), TransferResult::kRetry);
  const Text no_socket = gbk(u8"空指针错误");
  EXPECT_EQ(task.logs(), (std::vector<Text>{no_socket, no_socket}));
}

}  // namespace
}  // namespace lumora::test
