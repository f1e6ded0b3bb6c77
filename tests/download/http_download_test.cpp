// Whole downloads from the simulator's audio server over loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "engine_fixture.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/sim/audio_server.h"
#include "lumora/text/code_page.h"

namespace lumora::test {
namespace {

class HttpDownloadTest : public EngineTest {
 protected:
  std::vector<std::string> ranges(const std::string& path) {
    std::vector<std::string> out;
    for (const auto& r : server_.log().matching(path))
      if (r.has_header("Range")) out.push_back(r.header("Range"));
    return out;
  }
  sim::AudioServer server_;
};

TEST_F(HttpDownloadTest, TenConnectionsCutTenSegments) {
  const sim::AudioFile f = server_.add_file(1000000);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  const TaskResult r = finish();
  EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
  EXPECT_EQ(gbk_to_utf8(r.final_path), path("a.mp3"));
  EXPECT_EQ(r.stored, 1000000);
  EXPECT_EQ(file_sha256(path("a.mp3")), server_.sha256(f.path));

  const auto requests = server_.log().matching(f.path);
  ASSERT_FALSE(requests.empty());
  EXPECT_FALSE(requests.front().has_header("Range"));  // the first asks for the whole file
  // Each of the nine further segments is asked for once, at its start; any
  // other Range comes from an idle connection splitting a remainder.
  const auto asked = ranges(f.path);
  for (int k = 1; k < 10; ++k)
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "bytes=" + std::to_string(100000 * k) + "-"),
              1) << k;
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), asked.size());

  const auto events = recorder_.events();
  EXPECT_EQ(recorder_.count(TaskEventKind::kSizeKnown), 1);
  EXPECT_EQ(recorder_.count(TaskEventKind::kTaskEnded), 1);
  ASSERT_EQ(events.back().kind, TaskEventKind::kTaskEnded);
  EXPECT_EQ(events.back().value, 1000000);
  for (const auto& e : events)
    if (e.kind == TaskEventKind::kSizeKnown) {
      EXPECT_EQ(e.value, 1000000);
    }
}

TEST_F(HttpDownloadTest, SmallFileUsesOneConnectionWithoutRange) {
  const sim::AudioFile f = server_.add_file(20479);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "s.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(server_.log().matching(f.path).size(), 1u);
  EXPECT_TRUE(ranges(f.path).empty());
  EXPECT_EQ(file_sha256(path("s.mp3")), server_.sha256(f.path));
  EXPECT_EQ(recorder_.count(TaskEventKind::kConnectionStarted), 1);
}

TEST_F(HttpDownloadTest, EmptyFileIsComplete) {
  const sim::AudioFile f = server_.add_file(0);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "e.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(files(), std::vector<std::string>{"e.mp3"});
  EXPECT_EQ(recorder_.count(TaskEventKind::kSizeKnown), 1);
}

TEST_F(HttpDownloadTest, RefusedAddressesRaiseNoEvent) {
  for (const char* url : {"http://[::1/a.mp3", "http://127.0.0.1", "gopher://h/a"}) {
    EXPECT_FALSE(download_.start_task(param_for(url, "x.mp3"))) << url;
  }
  EXPECT_TRUE(recorder_.events().empty());
  EXPECT_FALSE(download_.busy());
}

// A wait that has nothing to wait for returns at once; one that runs out
// hands nothing over; the result comes once, with the bytes the work keeps.
TEST_F(HttpDownloadTest, TheResultIsHandedOverOnce) {
  using namespace std::chrono_literals;
  const auto returns_at_once = [this] {
    const auto began = std::chrono::steady_clock::now();
    const bool got = download_.wait(30s).has_value();
    return !got && std::chrono::steady_clock::now() - began < 10s;
  };
  EXPECT_TRUE(returns_at_once());  // no task yet
  sim::AudioFaults slow;
  slow.rate_cap = 100000;
  const sim::AudioFile f = server_.add_file(1000000, slow);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  EXPECT_FALSE(download_.wait(20ms));
  ASSERT_TRUE(recorder_.wait_for(TaskEventKind::kSizeKnown));
  download_.stop_task();
  const std::optional<TaskResult> r = download_.wait(0ms);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->outcome, TaskOutcome::kStopped);
  EXPECT_EQ(gbk_to_utf8(r->final_path), path("a.mp3"));
  EXPECT_EQ(r->failure.kind, FailureKind::kNone);
  EXPECT_GT(r->stored, 0);
  EXPECT_EQ(r->stored, recorder_.events().back().value);
  EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(path("a.mp3.part"))), 1000000);
  EXPECT_TRUE(returns_at_once());  // already handed over
}

TEST_F(HttpDownloadTest, SecondStartWhileAliveIsRefused) {
  sim::AudioFaults slow;
  slow.rate_cap = 100000;
  const sim::AudioFile f = server_.add_file(1000000, slow);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  Recorder other;
  TaskParam second = param_for(f.url, "b.mp3");
  other.attach(second);
  EXPECT_FALSE(download_.start_task(second));
  download_.stop_task();  // its result is never asked for
  EXPECT_TRUE(other.events().empty());
  EXPECT_EQ(recorder_.count(TaskEventKind::kTaskEnded), 1);
  const auto left = files();
  EXPECT_EQ(std::count(left.begin(), left.end(), "a.mp3"), 0);
  // Once the first has ended the object takes a new task, and the result
  // it hands over is the new one's.
  server_.set_faults(f.path, {});
  EXPECT_TRUE(download_.start_task(second));
  const TaskResult r = finish();
  EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
  EXPECT_EQ(gbk_to_utf8(r.final_path), path("b.mp3"));
}

TEST_F(HttpDownloadTest, ExistingNamesAreNumberedNeverOverwritten) {
  std::ofstream(path("a.mp3")) << "first";
  std::ofstream(path("a(1).mp3")) << "second";
  const sim::AudioFile f = server_.add_file(50000);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(files(), (std::vector<std::string>{"a(1).mp3", "a(2).mp3", "a.mp3"}));
  EXPECT_EQ(file_sha256(path("a(2).mp3")), server_.sha256(f.path));
  EXPECT_EQ(std::filesystem::file_size(path("a.mp3")), 5u);
  ASSERT_EQ(recorder_.count(TaskEventKind::kNameExists), 1);
  for (const auto& e : recorder_.events())
    if (e.kind == TaskEventKind::kNameExists) {
      EXPECT_EQ(e.value, 5);
    }
  EXPECT_TRUE(recorder_.logged("发现同名文件, 系统自动更名为"));
}

TEST_F(HttpDownloadTest, GivingUpOnAnExistingNameFailsAtOnce) {
  std::ofstream(path("a.mp3")) << "first";
  const sim::AudioFile f = server_.add_file(50000);
  TaskParam p = param_for(f.url, "a.mp3");
  recorder_.attach(p, kNameAnswerGiveUp);
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish(std::chrono::seconds(5)).outcome, TaskOutcome::kFailed);
  EXPECT_EQ(files(), std::vector<std::string>{"a.mp3"});
}

TEST_F(HttpDownloadTest, HundredthNameFailsAtOnce) {
  std::ofstream(path("a.mp3")) << "x";
  for (int n = 1; n <= 99; ++n) std::ofstream(path("a(" + std::to_string(n) + ").mp3")) << "x";
  const sim::AudioFile f = server_.add_file(50000);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  EXPECT_EQ(finish(std::chrono::seconds(5)).outcome, TaskOutcome::kFailed);
  EXPECT_TRUE(recorder_.logged("发现同名文件，超过系统自动更名次数"));
  EXPECT_EQ(files().size(), 100u);
}

TEST_F(HttpDownloadTest, FolderPathTakesTheAddressName) {
  const sim::AudioFile f = server_.add_file(30000);
  TaskParam p = param_for(f.url, "");  // ends in "/"
  ASSERT_TRUE(download_.start_task(p));
  ASSERT_EQ(finish().outcome, TaskOutcome::kComplete);
  const std::string name = f.path.substr(f.path.rfind('/') + 1);
  EXPECT_EQ(files(), std::vector<std::string>{name});
  EXPECT_EQ(file_sha256(path(name)), server_.sha256(f.path));
}

TEST_F(HttpDownloadTest, GbkTitleIsAUtf8NameOnDisk) {
  const sim::AudioFile f = server_.add_file(30000);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "第一集.mp3")));
  ASSERT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(files(), std::vector<std::string>{"第一集.mp3"});
}

TEST_F(HttpDownloadTest, SizesPastFourGibibytes) {
  // Only the start of the top segment is fetched: its offset is past 4 GiB
  // on the wire, in the plan and in the file.
  sim::AudioFaults slow;
  slow.rate_cap = 200000;
  const std::int64_t size = (std::int64_t{1} << 32) + 1000000;
  const sim::AudioFile f = server_.add_file(static_cast<std::uint64_t>(size), slow);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "big.mp3")));
  const std::int64_t top = size / 10 * 9;
  std::vector<std::uint8_t> expected(4096);
  sim::fill_audio_bytes(f.seed, static_cast<std::uint64_t>(top), expected);
  bool seen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!seen && std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(path("big.mp3.part"), std::ios::binary);
    std::vector<char> got(4096);
    if (in.seekg(top) && in.read(got.data(), 4096))
      seen = std::equal(got.begin(), got.end(), expected.begin(),
                        [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(seen);
  const auto asked = ranges(f.path);
  EXPECT_NE(std::find(asked.begin(), asked.end(), "bytes=" + std::to_string(top) + "-"), asked.end());
  for (const auto& e : recorder_.events())
    if (e.kind == TaskEventKind::kSizeKnown) {
      EXPECT_EQ(e.value, size);
    }
  EXPECT_EQ(stop().outcome, TaskOutcome::kStopped);
  EXPECT_EQ(files(), (std::vector<std::string>{"big.mp3.part", "big.mp3.part.rec"}));
}

}  // namespace
}  // namespace lumora::test
