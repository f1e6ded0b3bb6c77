// An idle connection takes over the upper half of a slow connection's
// piece: the slow one must stop at its piece's new end, and the file must
// still come out byte-exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

constexpr std::uint64_t kSeed = 99;
constexpr std::int64_t kSize = 1000000;

// Serves the generated file with Range support; the answer to
// "bytes=<slow_from>-" trickles at about 200 KB/s, every other one runs.
LoopbackServer::Handler ranged_file(std::int64_t slow_from) {
  return [slow_from](int fd, const std::string& head) {
    std::int64_t from = 0;
    const auto at = head.find("\r\nRange: bytes=");
    if (at != std::string::npos) from = std::stoll(head.substr(at + 15));
    std::string answer = at == std::string::npos ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 206 Partial\r\n";
    answer += "Content-Length: " + std::to_string(kSize - from) + "\r\n";
    if (at != std::string::npos)
      answer += "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(kSize - 1) +
                "/" + std::to_string(kSize) + "\r\n";
    if (!send_text(fd, answer + "\r\n")) return;
    const bool slow = at != std::string::npos && from == slow_from;
    std::vector<std::uint8_t> block(slow ? 4096 : 65536);
    for (std::int64_t pos = from; pos < kSize;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(block.size(), kSize - pos));
      sim::fill_audio_bytes(kSeed, static_cast<std::uint64_t>(pos), {block.data(), n});
      if (!send_text(fd, std::string_view(reinterpret_cast<const char*>(block.data()), n))) return;
      pos += static_cast<std::int64_t>(n);
      if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  };
}

class SplitTest : public EngineTest {};

TEST_F(SplitTest, IdleConnectionTakesOverASlowPiece) {
  LoopbackServer server(ranged_file(kSize / 2));
  TaskParam p = param_for(server.url("/f.mp3"), "f.mp3");
  p.connections = 2;
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("f.mp3")), sim::audio_sha256(kSeed, kSize));

  // The slow piece was split at least once, and every split Range lies
  // inside it.
  int splits = 0;
  for (const std::string& head : server.heads()) {
    const auto at = head.find("\r\nRange: bytes=");
    if (at == std::string::npos) continue;
    const std::int64_t from = std::stoll(head.substr(at + 15));
    if (from == kSize / 2) continue;
    EXPECT_GT(from, kSize / 2);
    ++splits;
  }
  EXPECT_GE(splits, 1);
  EXPECT_GE(recorder_.count(TaskEventKind::kSegmentShrunk), 1);
}

}  // namespace
}  // namespace lumora::test
