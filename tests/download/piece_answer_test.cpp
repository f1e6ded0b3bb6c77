// What a piece's request and answer must look like on the wire, against a
// server whose every answer the test writes: the Range a retry asks for, a
// changed total, the last free number of a name, and a failure after the
// file was made.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

// Two pieces of 40000 bytes: too small to split, so each is asked for once
// unless it is retried.
constexpr std::int64_t kSize = 80000;

void answer_whole(int fd) {
  send_text(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n" +
                    pattern_body(0, kSize));
}

// 206 for [from, kSize) claiming `total`, cut after `send` bytes.
void answer_piece(int fd, std::int64_t from, std::int64_t total, std::int64_t send) {
  send_text(fd, "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) +
                    "-" + std::to_string(kSize - 1) + "/" + std::to_string(total) +
                    "\r\nContent-Length: " + std::to_string(kSize - from) + "\r\n\r\n" +
                    pattern_body(from, from + send));
}

class PieceAnswerTest : public EngineTest {
 protected:
  TaskParam two_pieces(const LoopbackServer& raw, const std::string& name) {
    TaskParam p = param_for(raw.url("/a.mp3"), name);
    p.connections = 2;
    return p;
  }
  std::string expected() const { return pattern_body(0, kSize); }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

TEST_F(PieceAnswerTest, RetryAsksFromWhatTheDroppedPieceAlreadyHas) {
  std::atomic<int> piece_requests{0};
  LoopbackServer raw([&](int fd, const std::string& head) {
    const std::int64_t from = range_from(head);
    if (from < 0) return answer_whole(fd);
    // The first piece answer ends 30000 bytes in; any later one is whole.
    answer_piece(fd, from, kSize, piece_requests++ == 0 ? 30000 : kSize - from);
  });
  ASSERT_TRUE(download_.start_task(two_pieces(raw, "a.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(read("a.mp3"), expected());
  std::vector<std::int64_t> asked;
  for (const std::string& h : raw.heads()) asked.push_back(range_from(h));
  EXPECT_EQ(asked, (std::vector<std::int64_t>{-1, 40000, 70000}));
}

TEST_F(PieceAnswerTest, SlowLongAnswerIsAskedAgainEveryEightMebibytes) {
  constexpr std::int64_t kBig = (24 << 20) + 5;  // the last answer has more than 8 MiB left
  const std::string file = pattern_body(0, kBig);
  LoopbackServer raw([&](int fd, const std::string& head) {
    const std::int64_t from = std::max<std::int64_t>(0, range_from(head));
    const std::string head_text =
        range_from(head) < 0 ? "HTTP/1.1 200 OK\r\n"
                             : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                   std::to_string(from) + "-" + std::to_string(kBig - 1) + "/" +
                                   std::to_string(kBig) + "\r\n";
    send_text(fd, head_text + "Content-Length: " + std::to_string(kBig - from) + "\r\n\r\n");
    // A slow server: 1 MiB every 150 ms, so 8 MiB take over a second.
    for (std::int64_t at = from; at < kBig; at += 1 << 20) {
      if (!send_text(fd, std::string_view(file).substr(static_cast<std::size_t>(at), 1 << 20)))
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  });
  TaskParam p = param_for(raw.url("/big.mp3"), "big.mp3");
  p.connections = 1;
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_TRUE(read("big.mp3") == file);
  std::vector<std::int64_t> asked;
  for (const std::string& h : raw.heads()) asked.push_back(range_from(h));
  // Each answer ends within the batch of receives after its 8 MiB.
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], -1);
  EXPECT_GE(asked[1], 8 << 20);
  EXPECT_LT(asked[1], (8 << 20) + 8 * 20480);
  EXPECT_GE(asked[2] - asked[1], 8 << 20);
  EXPECT_LT(asked[2] - asked[1], (8 << 20) + 8 * 20480);
  EXPECT_FALSE(recorder_.logged("等待5秒后重试"));
  EXPECT_EQ(recorder_.count(TaskEventKind::kSegmentDone), 1);
}

TEST_F(PieceAnswerTest, PieceAnswerWithAnotherTotalFailsTheTask) {
  LoopbackServer raw([](int fd, const std::string& head) {
    const std::int64_t from = range_from(head);
    if (from < 0) return answer_whole(fd);
    answer_piece(fd, from, kSize * 2, kSize - from);  // the file changed meanwhile
  });
  ASSERT_TRUE(download_.start_task(two_pieces(raw, "a.mp3")));
  EXPECT_EQ(finish(std::chrono::seconds(4)).outcome, TaskOutcome::kFailed);  // no 5 s retry
  EXPECT_TRUE(recorder_.logged("位置错误"));
  EXPECT_TRUE(files().empty());
}

TEST_F(PieceAnswerTest, FailureAfterTheFileWasMadeRemovesIt) {
  std::atomic<bool> file_seen{false};
  LoopbackServer raw([&](int fd, const std::string& head) {
    if (range_from(head) < 0) return answer_whole(fd);
    file_seen = !std::filesystem::is_empty(dir_);
    send_text(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  });
  ASSERT_TRUE(download_.start_task(two_pieces(raw, "a.mp3")));
  EXPECT_EQ(finish(std::chrono::seconds(4)).outcome, TaskOutcome::kFailed);
  EXPECT_TRUE(file_seen);
  EXPECT_TRUE(recorder_.logged("出现错误"));
  EXPECT_TRUE(files().empty());
}

TEST_F(PieceAnswerTest, NinetyNineNumberedNamesAreTriedAndNoMore) {
  sim::AudioServer server;
  const sim::AudioFile f = server.add_file(5000);
  struct Case {
    int taken;  // a(1) .. a(taken) exist beside a.mp3
    const char* ends_as;
  } cases[] = {{98, "a(99).mp3"}, {99, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.taken);
    std::ofstream(path("a.mp3")) << "old";
    for (int n = 1; n <= c.taken; ++n)
      std::ofstream(path("a(" + std::to_string(n) + ").mp3")) << "old";
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(f.url, "a.mp3"));
    EXPECT_EQ(files().size(), static_cast<std::size_t>(c.taken + 1 + (c.ends_as ? 1 : 0)));
    if (c.ends_as) {
      EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
      EXPECT_EQ(file_sha256(path(c.ends_as)), server.sha256(f.path));
    } else {
      EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
      EXPECT_TRUE(recorder.logged("发现同名文件，超过系统自动更名次数"));
    }
  }
}

}  // namespace
}  // namespace lumora::test
