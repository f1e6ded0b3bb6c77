// Event kind 2: the routine's answer becomes the task's mode flags.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"

namespace lumora::test {
namespace {

class ModeDecisionTest : public EngineTest {
 protected:
  // Runs one task whose routine answers kind 2 with `answer`, the recorder
  // seeing every event as well.
  TaskParam param_answering(Recorder& recorder, int mode_flags, int answer) {
    TaskParam p = param_for(file_.url, "a.mp3");
    p.mode_flags = mode_flags;
    recorder.attach(p);
    p.event_routine = [record = p.event_routine, answer, this](const TaskEvent& e,
                                                               TaskContext& task) {
      const int recorded = record(e, task);
      if (e.kind != TaskEventKind::kModeDecision) return recorded;
      asked_size_ = e.value;
      return answer;
    };
    return p;
  }
  sim::AudioServer server_;
  sim::AudioFile file_ = server_.add_file(300000);
  std::atomic<std::int64_t> asked_size_{-1};
};

TEST_F(ModeDecisionTest, AnswerDecidesWhetherTheDownloadGoesOn) {
  struct Case {
    int mode_flags, answer;
    int asked;  // kind 2 raised
    TaskOutcome outcome;
  };
  const Case cases[] = {
      {kModeDownload, 0, 0, TaskOutcome::kComplete},  // not asked, answer unused
      {kModeDownload | kModeAskAfterSize, kModeDownload, 1, TaskOutcome::kComplete},
      {kModeDownload | kModeAskAfterSize, kModeDownload | kModeAskAfterSize, 1,
       TaskOutcome::kComplete},
      {kModeDownload | kModeAskAfterSize, 0, 1, TaskOutcome::kFailed},
      {kModeDownload | kModeAskAfterSize, kModeAskAfterSize, 1, TaskOutcome::kFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.mode_flags << " answered " << c.answer);
    Recorder recorder;
    Download download;
    asked_size_ = -1;
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    ASSERT_TRUE(download.start_task(param_answering(recorder, c.mode_flags, c.answer)));
    const std::optional<TaskResult> r = download.wait(std::chrono::seconds(30));
    ASSERT_TRUE(r);
    EXPECT_EQ(recorder.count(TaskEventKind::kModeDecision), c.asked);
    EXPECT_EQ(r->outcome, c.outcome);
    if (c.asked) {
      EXPECT_EQ(asked_size_.load(), 300000);
    }
    if (c.outcome == TaskOutcome::kComplete) {
      EXPECT_EQ(file_sha256(path("a.mp3")), server_.sha256(file_.path));
    } else {
      // Turned off before the file was made: nothing on disk, no size event.
      EXPECT_TRUE(files().empty());
      EXPECT_EQ(recorder.count(TaskEventKind::kSizeKnown), 0);
    }
  }
}

}  // namespace
}  // namespace lumora::test
