// Answers that bend the rules of an answer head: interim answers before the
// one that counts, and Content-Length lines that contradict each other.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "engine_fixture.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

// Two pieces of 40000 bytes.
constexpr std::int64_t kSize = 80000;

// The answer that counts: the whole file, or the piece the Range asks for.
std::string final_answer(const std::string& head) {
  const std::int64_t from = range_from(head);
  if (from < 0)
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n" +
           pattern_body(0, kSize);
  return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
         std::to_string(kSize - 1) + "/" + std::to_string(kSize) +
         "\r\nContent-Length: " + std::to_string(kSize - from) + "\r\n\r\n" +
         pattern_body(from, kSize);
}

std::string repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

class OddAnswerTest : public EngineTest {
 protected:
  TaskParam two_pieces(const LoopbackServer& raw) {
    TaskParam p = param_for(raw.url("/a.mp3"), "a.mp3");
    p.connections = 2;
    return p;
  }
  std::string read(const std::string& name) const { return read_file(path(name)); }
};

// Every answer, the whole file's and each piece's, comes after interim ones,
// in the same write as the answer or on their own.
TEST_F(OddAnswerTest, InterimAnswersAreReadPastToTheOneThatCounts) {
  const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  const std::string kHints = "HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n";
  struct Case {
    const char* what;
    std::string interim;
    bool apart;  // sent before the answer, in a write of their own
  };
  const Case cases[] = {
      {"100 Continue", kContinue, false},
      {"103 Early Hints, apart", kHints, true},
      {"100 then 103", kContinue + kHints, false},
      {"the most that is read past", repeated(kContinue, 8), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer raw([&](int fd, const std::string& head) {
      if (c.apart) {
        send_text(fd, c.interim);
        std::this_thread::sleep_for(30ms);
        send_text(fd, final_answer(head));
      } else {
        send_text(fd, c.interim + final_answer(head));
      }
    });
    Recorder recorder;
    EXPECT_EQ(run_to_end(recorder, two_pieces(raw), 10s).outcome, TaskOutcome::kComplete);
    EXPECT_TRUE(read("a.mp3") == pattern_body(0, kSize));
    EXPECT_EQ(raw.heads().size(), 2u);  // no attempt was retried
    std::filesystem::remove(path("a.mp3"));
  }
}

// More interim answers than are read past, and 101, which is no interim
// answer but a change of protocol nobody asked for.
TEST_F(OddAnswerTest, AnswersThatNeverComeOrSwitchProtocolsFail) {
  struct Case {
    const char* what;
    std::string before;
    FailureKind kind;
  };
  const Case cases[] = {
      {"nine interim answers", repeated("HTTP/1.1 100 Continue\r\n\r\n", 9),
       FailureKind::kBadAnswer},
      {"101", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", FailureKind::kHttpStatus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer raw([&](int fd, const std::string& head) {
      send_text(fd, c.before + final_answer(head));
    });
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, two_pieces(raw), 4s);
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.failure.kind, c.kind);
    EXPECT_TRUE(files().empty());
  }
}

// A body announced with a third of its length and then with all of it, on
// the whole file's answer or on a piece's: neither length is believed, the
// attempt fails and is retried, and what the connections stored stays. Once
// a connection's retries are spent on such answers, the task fails with
// their reason. Lengths that agree are one length.
TEST_F(OddAnswerTest, ContentLengthsThatDisagreeFailTheAttempt) {
  constexpr int kEvery = 1000;
  const auto with_lengths = [](std::int64_t from, const std::string& lengths) {
    std::string answer =
        from == 0 ? "HTTP/1.1 200 OK\r\n"
                  : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                        std::to_string(from) + "-" + std::to_string(kSize - 1) + "/" +
                        std::to_string(kSize) + "\r\n";
    return answer + lengths + "\r\n" + pattern_body(from, kSize);
  };
  const auto disagreeing = [](std::int64_t length) {
    return "Content-Length: " + std::to_string(length / 3) + "\r\nContent-Length: " +
           std::to_string(length) + "\r\n";
  };
  const auto agreeing = [](std::int64_t length) {
    const std::string n = std::to_string(length);
    return "Content-Length: " + n + ", " + n + "\r\nContent-Length: 0" + n + "\r\n";
  };
  struct Case {
    const char* what;
    bool on_piece;  // the whole file's answer is a plain one
    int bad;        // how many of the other answers carry two lengths
    std::string (*lengths)(std::int64_t);
    std::size_t requests;
    TaskOutcome outcome;
  };
  const Case cases[] = {
      {"the whole file's answer, once", false, 1, +disagreeing, 3, TaskOutcome::kComplete},
      {"a piece's answer, once", true, 1, +disagreeing, 3, TaskOutcome::kComplete},
      {"every whole file's answer", false, kEvery, +disagreeing, 2, TaskOutcome::kFailed},
      {"every piece's answer", true, kEvery, +disagreeing, 0, TaskOutcome::kFailed},
      {"lengths that agree", false, kEvery, +agreeing, 2, TaskOutcome::kComplete},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::atomic<int> answered{0};
    LoopbackServer raw([&](int fd, const std::string& head) {
      const std::int64_t from = range_from(head);
      if ((c.on_piece && from < 0) || answered++ >= c.bad)
        return (void)send_text(fd, final_answer(head));
      send_text(fd, with_lengths(std::max<std::int64_t>(0, from),
                                 c.lengths(kSize - std::max<std::int64_t>(0, from))));
    });
    TaskParam p = two_pieces(raw);
    p.max_retries = 1;
    p.retry_wait_ms = 50;
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, p, 10s);
    EXPECT_EQ(r.outcome, c.outcome);
    // 0: as many as the pieces' hand-over gives, each retried once.
    if (c.requests != 0) {
      EXPECT_EQ(raw.heads().size(), c.requests);
    }
    if (c.outcome == TaskOutcome::kComplete) {
      EXPECT_TRUE(read("a.mp3") == pattern_body(0, kSize));
    } else {
      EXPECT_EQ(r.failure.kind, FailureKind::kBadAnswer);
      EXPECT_EQ(describe(r.failure), "bad answer from the server");
      EXPECT_TRUE(files().empty());
    }
    std::filesystem::remove(path("a.mp3"));
  }
}

}  // namespace
}  // namespace lumora::test
