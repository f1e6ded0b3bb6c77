// Interrupted downloads and what a later task for the same name makes of
// them: resume what is stored, start over when the file changed, never
// reuse a working file another task holds, leave nothing on a full disk.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "engine_fixture.h"
#include "refetched_bytes.h"
#include "lumora/download/resume_record.h"
#include "lumora/sim/audio_server.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kBlock = 20480;

class ResumeTest : public EngineTest {
 protected:
  // Starts a task for `name` and stops it once `bytes` are stored.
  void interrupt(const sim::AudioFile& f, const std::string& name, std::int64_t bytes) {
    stop_after(f.url, name, bytes);
    ASSERT_EQ(files(), (std::vector<std::string>{name + ".part", name + ".part.rec"}));
  }

  std::optional<ResumeRecord> record_of(const std::string& name) const {
    return decode_record(read_file(path(name + ".part.rec")));
  }
  // Paced answers keep what a server pushes past a piece's end small.
  static sim::AudioFaults paced(std::uint64_t rate) {
    sim::AudioFaults f;
    f.rate_cap = rate;
    return f;
  }
  sim::AudioServer server_;
};

TEST_F(ResumeTest, StopThenNewTaskFetchesOnlyWhatIsMissing) {
  const sim::AudioFile f = server_.add_file(2000000, paced(100000));
  interrupt(f, "a.mp3", 800000);
  const auto record = record_of("a.mp3");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->address, f.url);
  EXPECT_EQ(record->etag, f.etag);
  EXPECT_GE(record->received_total(), 800000);
  const std::int64_t missing = record->size - record->received_total();

  server_.set_faults(f.path, paced(160000));
  server_.clear_sent();
  server_.log().clear();
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(files(), std::vector<std::string>{"a.mp3"});
  EXPECT_EQ(file_sha256(path("a.mp3")), server_.sha256(f.path));

  const auto requests = server_.log().matching(f.path);
  ASSERT_FALSE(requests.empty());
  // The first request already asks for a missing range, under the validator.
  EXPECT_TRUE(requests.front().has_header("Range"));
  EXPECT_EQ(requests.front().header("If-Range"), f.etag);
  const auto sent = server_.sent(f.path);
  EXPECT_LE(refetched(sent, *record), static_cast<std::uint64_t>(10 * kBlock));
  EXPECT_LE(server_.bytes_sent(f.path),
            static_cast<std::uint64_t>(missing + kBlock * static_cast<std::int64_t>(requests.size())));
}

TEST_F(ResumeTest, ChangedFileStartsFreshAndEndsExact) {
  struct Case {
    const char* what;
    std::uint64_t new_size;
    bool validators;
    bool unsized_whole = false;
  };
  const Case cases[] = {
      {"size", 1500000, true},
      {"content and ETag", 2000000, true},
      // Without validators a smaller file answers 416 to the stored offset.
      {"shrunk below the stored bytes", 30000, false},
      // Only a plain request learns the new size.
      {"content, whole answer without a length", 2000000, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::AudioFaults faults = paced(100000);
    faults.no_validators = !c.validators;
    const sim::AudioFile f = server_.add_file(2000000, faults);
    const std::string name =
        std::string("c") + std::to_string(c.new_size) + (c.unsized_whole ? "u" : "") + ".mp3";
    interrupt(f, name, 800000);
    ASSERT_TRUE(server_.replace_content(f.path, c.new_size));
    server_.set_faults(f.path, {.no_validators = !c.validators,
                                .unsized_whole_to_stale_range = c.unsized_whole});
    Recorder recorder;
    TaskParam p = param_for(f.url, name);
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
    EXPECT_EQ(files(), std::vector<std::string>{name});
    EXPECT_EQ(file_sha256(path(name)), server_.sha256(f.path));
    std::filesystem::remove(path(name));
  }
}

TEST_F(ResumeTest, ChangedFileThatThenFailsLeavesNothing) {
  const sim::AudioFile f = server_.add_file(2000000, paced(100000));
  interrupt(f, "d.mp3", 800000);
  ASSERT_TRUE(server_.replace_content(f.path, 2000000));
  server_.set_faults(f.path, {.no_content_length = true});  // no size: the fresh start fails
  ASSERT_TRUE(download_.start_task(param_for(f.url, "d.mp3")));
  const TaskResult r = finish();
  EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
  EXPECT_EQ(r.failure.kind, FailureKind::kNoSize);
  EXPECT_TRUE(files().empty());
}

TEST_F(ResumeTest, UntrustworthyLeftoversStartFresh) {
  struct Case {
    const char* what;
    std::string record;  // what lies beside the working file
  };
  ResumeRecord other;
  other.address = "http://127.0.0.1:1/elsewhere.mp3";
  other.size = 300000;
  other.segments = {{0, 300000, 300000}};
  const Case cases[] = {
      {"no record", ""},
      {"zero-filled record", std::string(200, '\0')},
      {"torn record", encode_record(other).substr(0, 60)},
      {"another address", encode_record(other)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::AudioFile f = server_.add_file(300000);
    other.address = c.what == std::string("another address") ? other.address : f.url;
    std::ofstream(path("u.mp3.part"), std::ios::binary) << std::string(300000, 'z');
    if (!c.record.empty()) std::ofstream(path("u.mp3.part.rec"), std::ios::binary) << c.record;
    Recorder recorder;
    TaskParam p = param_for(f.url, "u.mp3");
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
    EXPECT_EQ(files(), std::vector<std::string>{"u.mp3"});
    EXPECT_EQ(file_sha256(path("u.mp3")), server_.sha256(f.path));
    std::filesystem::remove(path("u.mp3"));
  }
}

TEST_F(ResumeTest, WorkingFileOfAnotherSizeThanItsRecordStartsFresh) {
  const std::int64_t size = 300000;
  for (const std::int64_t off_by : {std::int64_t{1}, std::int64_t{-1}}) {
    SCOPED_TRACE(off_by);
    const sim::AudioFile f = server_.add_file(size);
    // A record that says the whole file is there: trusted, it would end the
    // task at once with the working file as it lies.
    ResumeRecord record;
    record.address = f.url;
    record.size = size;
    record.etag = f.etag;
    record.segments = {{0, size, size}};
    std::ofstream(path("w.mp3.part"), std::ios::binary)
        << std::string(static_cast<std::size_t>(size + off_by), 'j');
    std::ofstream(path("w.mp3.part.rec"), std::ios::binary) << encode_record(record);
    Recorder recorder;
    TaskParam p = param_for(f.url, "w.mp3");
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
    EXPECT_EQ(files(), std::vector<std::string>{"w.mp3"});
    EXPECT_EQ(file_sha256(path("w.mp3")), server_.sha256(f.path));
    std::filesystem::remove(path("w.mp3"));
  }
}

TEST_F(ResumeTest, WorkingFileOfARunningTaskIsNotReused) {
  const sim::AudioFile slow = server_.add_file(3000000, paced(20000));
  ASSERT_TRUE(download_.start_task(param_for(slow.url, "a.mp3")));
  ASSERT_TRUE(recorder_.wait_for(TaskEventKind::kSizeKnown));
  ASSERT_EQ(recorder_.count(TaskEventKind::kSizeKnown), 1);

  const sim::AudioFile f = server_.add_file(100000);
  Download second;
  Recorder recorder;
  TaskParam p = param_for(f.url, "a.mp3");
  recorder.attach(p);
  ASSERT_TRUE(second.start_task(p));
  const std::optional<TaskResult> r = second.wait(std::chrono::seconds(60));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("a(1).mp3")), server_.sha256(f.path));
  EXPECT_TRUE(download_.busy());  // the first one runs on, on its own file
  EXPECT_EQ(stop().outcome, TaskOutcome::kStopped);
  EXPECT_EQ(files(),
            (std::vector<std::string>{"a(1).mp3", "a.mp3.part", "a.mp3.part.rec"}));
}

// A small tmpfs stands in for a full disk.
class FullDiskTest : public ResumeTest {
 protected:
  void SetUp() override {
    ResumeTest::SetUp();
    if (::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=1m") != 0)
      GTEST_SKIP() << "cannot mount a tmpfs here";
    mounted_ = true;
  }
  void TearDown() override {
    download_.stop_task();
    if (mounted_) ::umount(dir_.c_str());
    ResumeTest::TearDown();
  }
  bool mounted_ = false;
};

TEST_F(FullDiskTest, FailsWithItsLogTextAndLeavesNothing) {
  const sim::AudioFile f = server_.add_file(4000000);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  const TaskResult r = finish();
  EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
  EXPECT_EQ(describe(r.failure), "local file error: No space left on device");
  EXPECT_TRUE(recorder_.logged(
      "创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在"));
  EXPECT_TRUE(files().empty());
}

}  // namespace
}  // namespace lumora::test
