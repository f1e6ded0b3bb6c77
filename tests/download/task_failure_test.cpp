// What an ended task hands its caller about why it failed or stalled: the
// kind of its last trouble, the HTTP status and the system's error, as data
// beside its outcome, so no caller reads them out of the log.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <utility>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/loopback_server.h"
#include "mute_server.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class TaskFailureTest : public EngineTest {
 protected:
  // Runs `p` to its end; the outcome and the failure it left.
  std::pair<TaskOutcome, TaskFailure> run(TaskParam p) {
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, std::move(p), 30s);
    return {r.outcome, r.failure};
  }
  sim::AudioServer server_;
};

TEST_F(TaskFailureTest, AFailedTaskTellsItsTroubleAndACompleteOneNone) {
  sim::AudioFaults no_length;
  no_length.no_content_length = true;
  sim::AudioFaults missing;
  missing.not_found = true;
  struct Case {
    const char* what;
    sim::AudioFaults faults;
    TaskOutcome outcome;
    FailureKind kind;
    int status;
  };
  const Case cases[] = {
      {"404", missing, TaskOutcome::kFailed, FailureKind::kHttpStatus, 404},
      {"no length", no_length, TaskOutcome::kFailed, FailureKind::kNoSize, 0},
      {"complete", {}, TaskOutcome::kComplete, FailureKind::kNone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::AudioFile f = server_.add_file(300000, c.faults);
    const auto [outcome, failure] = run(param_for(f.url, "a.mp3"));
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(failure.kind, c.kind);
    EXPECT_EQ(failure.http_status, c.status);
    EXPECT_EQ(failure.message.empty(), c.kind == FailureKind::kNone);
  }
}

// The retries of a dead source end with the stall, which keeps what the
// last attempt met: the refused connect's errno, or the silence.
TEST_F(TaskFailureTest, AStalledTaskTellsWhatItsRetriesMet) {
  TaskParam refused = param_for(
      "http://127.0.0.1:" + std::to_string(free_loopback_port()) + "/a.mp3", "a.mp3");
  refused.stall_timeout_ms = 1000;
  const auto [refused_outcome, refused_failure] = run(refused);
  EXPECT_EQ(refused_outcome, TaskOutcome::kStalled);
  EXPECT_EQ(refused_failure.kind, FailureKind::kConnectFailed);
  EXPECT_EQ(refused_failure.system_error, ECONNREFUSED);

  MuteServer mute(MuteServer::Mode::kSilent);
  TaskParam silent =
      param_for("http://127.0.0.1:" + std::to_string(mute.port()) + "/a.mp3", "b.mp3");
  silent.receive_timeout_ms = 300;
  silent.stall_timeout_ms = 1500;
  const auto [silent_outcome, silent_failure] = run(silent);
  EXPECT_EQ(silent_outcome, TaskOutcome::kStalled);
  EXPECT_EQ(silent_failure.kind, FailureKind::kNoAnswer);
  EXPECT_TRUE(files().empty());
}

}  // namespace
}  // namespace lumora::test
