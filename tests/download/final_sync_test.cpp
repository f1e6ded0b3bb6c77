// The step that makes a final name trustworthy: the working file's data is
// synced before the rename that gives it that name, and a sync that fails
// fails the task and leaves no final name (after a power cut that name
// would hold a file of zeros).
#include <errno.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "engine_fixture.h"
#include "lumora/download/working_file.h"
#include "lumora/sim/audio_server.h"

namespace lumora::test {
namespace {

std::string watched_final;            // set before a task starts
std::atomic<int> syncs_before_rename{0};
std::atomic<int> syncs{0};

int failing_sync(int) {
  ++syncs;
  errno = EIO;
  return -1;
}

int watching_sync(int fd) {
  ++syncs;
  if (!std::filesystem::exists(watched_final)) ++syncs_before_rename;
  return ::fdatasync(fd);
}

class FinalSyncTest : public EngineTest {
 protected:
  void TearDown() override {
    EngineTest::TearDown();
    set_data_sync(nullptr);
  }
  sim::AudioServer server_;
};

TEST_F(FinalSyncTest, SyncComesBeforeTheRenameAndAFailureFailsTheTask) {
  struct Case {
    const char* what;
    DataSync sync;
    TaskOutcome outcome;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"sync succeeds", watching_sync, TaskOutcome::kComplete, {"a.mp3"}},
      {"sync fails", failing_sync, TaskOutcome::kFailed, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::AudioFile f = server_.add_file(300000);
    watched_final = path("a.mp3");
    syncs = 0;
    syncs_before_rename = 0;
    set_data_sync(c.sync);
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(f.url, "a.mp3"));
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.failure.kind,
              c.outcome == TaskOutcome::kFailed ? FailureKind::kLocalFile : FailureKind::kNone);
    EXPECT_EQ(files(), c.files);
    EXPECT_GE(syncs.load(), 1);
    if (c.outcome == TaskOutcome::kComplete) {
      EXPECT_EQ(syncs_before_rename.load(), syncs.load());
      EXPECT_EQ(file_sha256(path("a.mp3")), server_.sha256(f.path));
    }
    std::filesystem::remove(path("a.mp3"));
  }
}

}  // namespace
}  // namespace lumora::test
