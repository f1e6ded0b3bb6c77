// Sources that send slowly but steadily, and ones that only trickle: what a
// slow line sends is kept, whatever its pace; a task gives up (its work
// kept) only when it stores less than a kilobyte within its stall window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "engine_fixture.h"
#include "lumora/download/resume_record.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/test_support/paced_file.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SlowSourceTest : public EngineTest {
 protected:
  std::string read(const std::string& name) const { return read_file(path(name)); }
  // Runs `p` to its end; its result and how long it took, in seconds.
  std::pair<TaskResult, double> run(TaskParam p, std::chrono::milliseconds limit) {
    const auto began = Clock::now();
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, std::move(p), limit);
    return {r, std::chrono::duration<double>(Clock::now() - began).count()};
  }
};

// Ten connections of 1,500 bytes/s each, each wait ending well before its
// block is full: every byte received is stored, none fetched a third time.
TEST_F(SlowSourceTest, ASlowLineKeepsEveryByteItReceives) {
  constexpr std::int64_t kSize = 60000;  // ten pieces of 6,000 bytes
  PacedFile file(kSize, 150, 100ms);
  LoopbackServer server(file.handler());
  TaskParam p = param_for(server.url("/a.mp3"), "a.mp3");
  p.receive_timeout_ms = 500;
  p.min_piece = kSize / 10;
  const double sending = file.seconds_for(kSize / 10);
  const auto [r, took] = run(p, std::chrono::milliseconds(static_cast<int>(2 * sending * 1000)));
  EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
  EXPECT_TRUE(read("a.mp3") == pattern_body(0, kSize));
  EXPECT_LE(took, 2 * sending);
  EXPECT_LE(file.most_sends(), 2);
}

// A byte every 200 ms is a live line but no progress: the task gives up
// once the window has passed, though every attempt brings new bytes, and
// keeps what it stored for a resume.
TEST_F(SlowSourceTest, ATrickleGivesUpAfterTheWindowWithItsWorkKept) {
  constexpr std::int64_t kSize = 10000;  // one piece
  constexpr int kWindowMs = 6000;        // longer than a retry's wait
  PacedFile file(kSize, 1, 200ms);
  LoopbackServer server(file.handler());
  TaskParam p = param_for(server.url("/a.mp3"), "a.mp3");
  p.receive_timeout_ms = 300;
  p.stall_timeout_ms = kWindowMs;
  const auto [r, took] = run(p, std::chrono::milliseconds(kWindowMs + 4000));
  EXPECT_EQ(r.outcome, TaskOutcome::kStalled);
  EXPECT_GE(took, kWindowMs / 1000.0);
  EXPECT_GT(r.stored, 0);
  EXPECT_LT(r.stored, kStallFloor);
  ASSERT_EQ(files(), (std::vector<std::string>{"a.mp3.part", "a.mp3.part.rec"}));
  const std::optional<ResumeRecord> record = decode_record(read("a.mp3.part.rec"));
  ASSERT_TRUE(record);
  ASSERT_EQ(record->segments.size(), 1u);
  EXPECT_EQ(record->segments[0].received, r.stored);
  EXPECT_TRUE(read("a.mp3.part").substr(0, static_cast<std::size_t>(r.stored)) ==
              pattern_body(0, r.stored));
}

// A steady 5,000 bytes/s for twice the window: each window stores far more
// than the floor, so the task runs to its end.
TEST_F(SlowSourceTest, ASteadyLineLongerThanTheWindowRunsToItsEnd) {
  constexpr std::int64_t kSize = 10000;
  PacedFile file(kSize, 500, 100ms);
  LoopbackServer server(file.handler());
  TaskParam p = param_for(server.url("/a.mp3"), "a.mp3");
  p.stall_timeout_ms = 1000;
  const auto [r, took] = run(p, 10s);
  EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
  EXPECT_GT(took, 1.5);  // it did outlast the window
  EXPECT_TRUE(read("a.mp3") == pattern_body(0, kSize));
}

// At the floor: each answer brings `burst` bytes and ends, and its retry
// follows 1 s later, well inside the 1.5 s window. A kilobyte each time
// starts the window over and the task runs to its end; with a byte less the
// window starts over every second answer only, 2 s apart, and the task gives
// up half a second before its fourth.
TEST_F(SlowSourceTest, TheFloorPerWindowKeepsATaskGoingAndLessDoesNot) {
  constexpr std::int64_t kSize = 4 * kStallFloor;
  struct Case {
    std::int64_t burst;
    TaskOutcome outcome;
  };
  for (const Case& c : {Case{kStallFloor, TaskOutcome::kComplete},
                        Case{kStallFloor - 1, TaskOutcome::kStalled}}) {
    SCOPED_TRACE(c.burst);
    LoopbackServer server([&](int fd, const std::string& head) {
      const std::int64_t from = std::max<std::int64_t>(0, range_from(head));
      const std::string status =
          from == 0 ? "HTTP/1.1 200 OK\r\n"
                    : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                          std::to_string(from) + "-" + std::to_string(kSize - 1) + "/" +
                          std::to_string(kSize) + "\r\n";
      send_text(fd, status + "Content-Length: " + std::to_string(kSize - from) + "\r\n\r\n" +
                        pattern_body(from, std::min(kSize, from + c.burst)));
    });
    TaskParam p = param_for(server.url("/a.mp3"), "a.mp3");
    p.stall_timeout_ms = 1500;
    p.retry_wait_ms = 1000;
    const auto [r, took] = run(p, 10s);
    EXPECT_EQ(r.outcome, c.outcome);
    if (c.outcome == TaskOutcome::kComplete) EXPECT_TRUE(read("a.mp3") == pattern_body(0, kSize));
    else EXPECT_EQ(r.stored, 3 * c.burst);
    std::filesystem::remove(path("a.mp3"));
  }
}

}  // namespace
}  // namespace lumora::test
