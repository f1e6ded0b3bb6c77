// Answers that bend the rules of an answer head: interim answers before the
// one that counts, and Content-Length lines that contradict each other.
#include <gtest/gtest.h>

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

// A body announced with a third of its length and then with all of it:
// neither is believed, on the whole file's answer or on a piece's, and the task
// fails at once without a file.
TEST_F(OddAnswerTest, ContentLengthsThatDisagreeFailTheTask) {
  const auto two_lengths = [](std::int64_t from) {
    const std::int64_t length = kSize - from;
    std::string answer =
        from == 0 ? "HTTP/1.1 200 OK\r\n"
                  : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                        std::to_string(from) + "-" + std::to_string(kSize - 1) + "/" +
                        std::to_string(kSize) + "\r\n";
    return answer + "Content-Length: " + std::to_string(length / 3) +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" +
           pattern_body(from, kSize);
  };
  for (const bool on_piece : {false, true}) {
    SCOPED_TRACE(on_piece ? "a piece's answer" : "the whole file's answer");
    LoopbackServer raw([&](int fd, const std::string& head) {
      const std::int64_t from = range_from(head);
      if (on_piece && from < 0) return (void)send_text(fd, final_answer(head));
      send_text(fd, two_lengths(std::max<std::int64_t>(0, from)));
    });
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, two_pieces(raw), 4s);  // no 5 s retry
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.failure.kind, FailureKind::kBadAnswer);
    EXPECT_EQ(describe(r.failure), "bad answer from the server");
    EXPECT_TRUE(files().empty());
  }
}

}  // namespace
}  // namespace lumora::test
