#include "lumora/sim/audio_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "lumora/sim/audio_bytes.h"
#include "raw_http.h"

namespace lumora::sim {
namespace {

using test::raw_get;
using Drop = AudioFaults::Drop;

TEST(AudioBytes, DependOnSeedAndPosition) {
  const std::string a = audio_content(7, 4096);
  const std::string b = audio_content(8, 4096);
  EXPECT_NE(a, b);
  EXPECT_NE(a.substr(0, 1024), a.substr(1024, 1024));  // a repeated block differs
  std::vector<std::uint8_t> piece(100);
  fill_audio_bytes(7, 1001, piece);  // unaligned start agrees with the whole
  EXPECT_EQ(std::string(piece.begin(), piece.end()), a.substr(1001, 100));
  EXPECT_EQ(audio_sha256(7, 4096),
            sha256_hex({reinterpret_cast<const std::uint8_t*>(a.data()), a.size()}));
}

class AudioServerTest : public ::testing::Test {
 protected:
  AudioServer server;
};

TEST_F(AudioServerTest, ServesWholeFileAndRanges) {
  const AudioFile file = server.add_file(100000);
  const std::string content = server.content(file.path);
  ASSERT_EQ(content.size(), 100000u);

  const auto whole = raw_get(server.port(), file.path);
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.header("Content-Length"), "100000");
  EXPECT_EQ(whole.body, content);

  struct Case {
    const char* range;
    int status;
    const char* content_range;
    std::size_t start, length;
  };
  const Case cases[] = {
      {"bytes=40000-", 206, "bytes 40000-99999/100000", 40000, 60000},
      {"bytes=10-19", 206, "bytes 10-19/100000", 10, 10},
      {"bytes=-5", 206, "bytes 99995-99999/100000", 99995, 5},
      {"bytes=99999-200000", 206, "bytes 99999-99999/100000", 99999, 1},
      {"bytes=100000-", 416, "bytes */100000", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    const auto answer = raw_get(server.port(), file.path, std::string("Range: ") + c.range + "\r\n");
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.header("Content-Range"), c.content_range);
    if (c.status == 206) {
      EXPECT_EQ(answer.body, content.substr(c.start, c.length));
    }
  }
  EXPECT_EQ(raw_get(server.port(), "/audio/999.mp3").status, 404);
  EXPECT_EQ(server.sha256(file.path), audio_sha256(file.seed, file.size));
}

TEST_F(AudioServerTest, RangeFaults) {
  const AudioFile file = server.add_file(50000, {.ignore_range = true});
  const std::string content = server.content(file.path);
  auto answer = raw_get(server.port(), file.path, "Range: bytes=100-\r\n");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, content);

  server.set_faults(file.path, {.range_without_content_range = true});
  answer = raw_get(server.port(), file.path, "Range: bytes=100-\r\n");
  EXPECT_EQ(answer.status, 206);
  EXPECT_FALSE(answer.has_header("Content-Range"));
  EXPECT_EQ(answer.body, content);

  server.set_faults(file.path, {.no_content_length = true});
  answer = raw_get(server.port(), file.path);
  EXPECT_EQ(answer.status, 200);
  EXPECT_FALSE(answer.has_header("Content-Length"));
  EXPECT_EQ(answer.body, content);

  server.set_faults(file.path, {.not_found = true});
  EXPECT_EQ(raw_get(server.port(), file.path).status, 404);
}

TEST_F(AudioServerTest, RedirectsWithTicketCookie) {
  const AudioFile file = server.add_file(30000, {.redirect_with_cookie = true});
  const auto redirect = raw_get(server.port(), file.path);
  EXPECT_EQ(redirect.status, 302);
  const std::string target = server.base_url() + "/audio/moved/" + file.path.substr(7);
  EXPECT_EQ(redirect.header("Location"), target);
  const std::string cookie = redirect.header("Set-Cookie");
  ASSERT_NE(cookie.find("; path=/"), std::string::npos);
  const std::string ticket = cookie.substr(0, cookie.find(';'));

  const std::string moved = target.substr(server.base_url().size());
  EXPECT_EQ(raw_get(server.port(), moved).status, 403);
  const auto served = raw_get(server.port(), moved, "Cookie: " + ticket + "\r\n");
  EXPECT_EQ(served.status, 200);
  EXPECT_EQ(served.body, server.content(file.path));

  server.set_faults(file.path, {.relative_redirect = true});
  EXPECT_EQ(raw_get(server.port(), file.path).header("Location"), "moved/" + file.path.substr(7));
  EXPECT_EQ(raw_get(server.port(), moved).status, 200);
}

TEST_F(AudioServerTest, DropsConnectionOnceOrAlways) {
  const AudioFile file = server.add_file(200000, {.drop = Drop::once, .drop_after_bytes = 70000});
  const std::string content = server.content(file.path);
  const auto first = raw_get(server.port(), file.path);
  EXPECT_EQ(first.header("Content-Length"), "200000");
  EXPECT_EQ(first.body, content.substr(0, 70000));
  EXPECT_EQ(raw_get(server.port(), file.path).body, content);

  server.set_faults(file.path, {.drop = Drop::always, .drop_after_bytes = 70000});
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(raw_get(server.port(), file.path, "Range: bytes=100000-\r\n").body,
              content.substr(100000, 70000));
  // An answer no longer than the cut point is not cut.
  EXPECT_EQ(raw_get(server.port(), file.path, "Range: bytes=150000-\r\n").body, content.substr(150000));
}

TEST_F(AudioServerTest, SlowFirstByteAndRateCapHoldBack) {
  using namespace std::chrono;
  const AudioFile slow = server.add_file(1000, {.first_byte_delay = milliseconds(300)});
  auto began = steady_clock::now();
  EXPECT_EQ(raw_get(server.port(), slow.path).body, server.content(slow.path));
  EXPECT_GE(steady_clock::now() - began, milliseconds(300));

  const AudioFile capped = server.add_file(100000, {.rate_cap = 200000});
  began = steady_clock::now();
  EXPECT_EQ(raw_get(server.port(), capped.path).body, server.content(capped.path));
  EXPECT_GE(steady_clock::now() - began, milliseconds(450));
}

TEST_F(AudioServerTest, StopEndsDeliberateWaits) {
  const AudioFile file = server.add_file(1000, {.first_byte_delay = std::chrono::minutes(5)});
  std::thread client([&] { raw_get(server.port(), file.path); });
  // The request is logged before its handler starts waiting.
  while (server.log().matching(file.path).empty()) std::this_thread::yield();
  server.stop();
  client.join();
}

TEST_F(AudioServerTest, LogsEveryRequest) {
  const AudioFile file = server.add_file(10);
  raw_get(server.port(), file.path, "X-Probe: 1\r\n");
  const auto logged = server.log().matching(file.path);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].method, "GET");
  EXPECT_EQ(logged[0].header("X-Probe"), "1");
}

}  // namespace
}  // namespace lumora::sim
