// The time-outs fire: a server that accepts and says nothing, one that
// sends a head and then nothing, and one whose connects hang each end the
// attempt within the configured time (with a generous margin), and the
// connection's retry follows on the server's side.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "engine_fixture.h"
#include "lumora/text/code_page.h"
#include "mute_server.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Mode = MuteServer::Mode;

constexpr int kTimeoutMs = 300;
// Waits are measured in whole milliseconds of another thread's clock reads.
constexpr auto kGranularity = std::chrono::milliseconds(1);
// Three times the time-out and a second.
constexpr auto kBound = std::chrono::milliseconds(3 * kTimeoutMs + 1000);
// A retry comes 5 s after the failed attempt.
constexpr auto kRetryBound = 8s;

class TimeoutTest : public EngineTest {
 protected:
  std::string url(const char* scheme, const MuteServer& server) const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(server.port()) + "/a.mp3";
  }
};

TEST_F(TimeoutTest, ReceiveTimeOutEndsTheAttemptAndTheRetryFollows) {
  struct Case {
    const char* what;
    Mode mode;
    const char* scheme;
    const char* retried;  // what the retry sends first
  };
  const Case cases[] = {
      {"HTTP, nothing said", Mode::kSilent, "http", "GET /a.mp3 HTTP/1.1\r\n"},
      // One piece (under 20480 bytes): its 1000 bytes are kept.
      {"HTTP, a head then nothing", Mode::kHeadThenNothing, "http", "Range: bytes=1000-\r\n"},
      {"FTP, no greeting", Mode::kSilent, "ftp", ""},
      {"HTTPS, no answer to the hello", Mode::kSilent, "https", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MuteServer server(c.mode);
    Recorder recorder;
    TaskParam p = param_for(url(c.scheme, server), "a.mp3");
    p.receive_timeout_ms = kTimeoutMs;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    ASSERT_TRUE(server.wait_accepted(1, 10s));
    ASSERT_TRUE(server.wait_closed(1, kBound + 2s));
    const MuteServer::Visit first = server.visits()[0];
    EXPECT_GE(first.closed - first.accepted, std::chrono::milliseconds(kTimeoutMs - 100));
    EXPECT_LE(first.closed - first.accepted, kBound);
    ASSERT_TRUE(server.wait_accepted(2, kRetryBound));
    EXPECT_TRUE(server.wait_received(1, c.retried, 5s));
    EXPECT_EQ(stop().outcome, TaskOutcome::kStopped);
  }
}

// The server's accept queue is full, so the kernel drops the SYNs: only the
// connect time-out ends the attempt. Then the queue is freed and the retry
// gets through.
TEST_F(TimeoutTest, ConnectTimeOutEndsTheAttemptAndTheRetryFollows) {
  MuteServer server(Mode::kQueueFull);
  TaskParam p = param_for(url("http", server), "a.mp3");
  p.connect_timeout_ms = kTimeoutMs;
  std::mutex mutex;
  std::condition_variable cv;
  std::optional<Clock::time_point> timed_out;
  const std::string line = "连接 [127.0.0.1:" + std::to_string(server.port()) + "]超时";
  p.log_routine = [&](const Text&, const Text& message, int) {
    std::lock_guard lock(mutex);
    if (!timed_out && gbk_to_utf8(message) == line) {
      timed_out = Clock::now();
      cv.notify_all();
    }
  };
  const auto start = Clock::now();
  ASSERT_TRUE(download_.start_task(p));
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, kBound + 2s, [&] { return timed_out.has_value(); }));
    EXPECT_GE(*timed_out - start, std::chrono::milliseconds(kTimeoutMs) - kGranularity);
    EXPECT_LE(*timed_out - start, kBound);
  }
  server.release_queue();
  ASSERT_TRUE(server.wait_accepted(1, kRetryBound));
  EXPECT_TRUE(server.wait_received(0, "GET /a.mp3 HTTP/1.1\r\n", 5s));
  EXPECT_EQ(stop().outcome, TaskOutcome::kStopped);
}

// A TLS handshake belongs to connecting: however long each receive may
// wait, the whole of it ends within the connect time-out, and a stop ends
// it at once.
TEST_F(TimeoutTest, TheHandshakeEndsWithinTheConnectTimeOutOrAtAStop) {
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped" : "timed out");
    MuteServer server(Mode::kSilent);
    Recorder recorder;
    TaskParam p = param_for(url("https", server), "a.mp3");
    p.connect_timeout_ms = kTimeoutMs;
    p.receive_timeout_ms = 60000;
    p.stop_wait_ms = 1000;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    ASSERT_TRUE(server.wait_accepted(1, 10s));
    const auto asked = Clock::now();
    if (stopped) {
      ASSERT_TRUE(server.wait_received(0, "\x16\x03", 5s));  // the hello is out
      EXPECT_EQ(stop().outcome, TaskOutcome::kStopped);
      EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(p.stop_wait_ms));
      continue;
    }
    ASSERT_TRUE(server.wait_closed(1, kBound + 2s));
    const MuteServer::Visit first = server.visits()[0];
    EXPECT_GE(first.closed - first.accepted, std::chrono::milliseconds(kTimeoutMs - 100));
    EXPECT_LE(first.closed - first.accepted, kBound);
    // The log line may still be on its way through the task's queue; the
    // stop drains it.
    download_.stop_task();
    const std::string line = "连接 [127.0.0.1:" + std::to_string(server.port()) + "]超时";
    EXPECT_TRUE(recorder.logged(line));
  }
}

}  // namespace
}  // namespace lumora::test
