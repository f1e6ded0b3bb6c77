// A download killed with SIGKILL again and again, at random points, in a
// child process: nothing ever appears under the final name, and the task
// that finally completes fetches only what the record left missing.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "engine_fixture.h"
#include "refetched_bytes.h"
#include "lumora/download/resume_record.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/child_process.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kBlock = 20480;
constexpr int kConnections = 10;

std::optional<ResumeRecord> read_record(const std::string& path) {
  return decode_record(read_file(path));
}

// lumorafm-fetch saving `url` at `path`, its output unread.
std::unique_ptr<ChildProcess> start_fetch(const std::string& url, const std::string& path) {
  return std::make_unique<ChildProcess>(
      LUMORA_FETCH_BIN, std::vector<std::string>{url, path, std::to_string(kConnections)},
      ChildSetup{.output = ChildSetup::Output::kFile,
                 .output_file = "/dev/null",
                 .errors = ChildSetup::Errors::kDiscard});
}

class KillResumeTest : public EngineTest {
 protected:
  // Waits until the record beside `name` claims `bytes`, then until the
  // server has sent `extra` more, and kills the child there.
  void kill_at(ChildProcess& child, const std::string& name, const std::string& file_path,
               std::int64_t bytes, std::uint64_t extra) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    auto claimed = [&] {
      const auto r = read_record(path(name) + ".part.rec");
      return r ? r->received_total() : 0;
    };
    while (claimed() < bytes && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::uint64_t sent = server_.bytes_sent(file_path) + extra;
    while (server_.bytes_sent(file_path) < sent && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    child.signal(SIGKILL);
    ASSERT_TRUE(child.finish(std::chrono::seconds(10)));
    ASSERT_TRUE(Clock::now() < deadline) << "no progress to " << bytes;
  }
  sim::AudioServer server_;
};

TEST_F(KillResumeTest, KilledAtTwentyPointsThenCompletesWithOnlyTheMissingBytes) {
  const std::int64_t size = 4000000;
  sim::AudioFaults paced;
  paced.rate_cap = 40000;
  const sim::AudioFile f = server_.add_file(static_cast<std::uint64_t>(size), paced);
  const unsigned seed = std::getenv("LUMORA_KILL_SEED")
                            ? static_cast<unsigned>(std::atoi(std::getenv("LUMORA_KILL_SEED")))
                            : std::random_device{}();
  SCOPED_TRACE("LUMORA_KILL_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::vector<std::int64_t> points(20);
  // The last point leaves well over a second of transfer after it: the record
  // lags the file by up to a second, and a child that finishes before its
  // record reaches the point would never be killed there.
  std::uniform_int_distribution<std::int64_t> at(size / 20, size * 7 / 10);
  for (auto& p : points) p = at(random);
  std::sort(points.begin(), points.end());
  std::uniform_int_distribution<std::uint64_t> extra(0, 4 * kBlock);

  for (std::size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE("kill " + std::to_string(i));
    const auto child = start_fetch(f.url, path("k.mp3"));
    ASSERT_TRUE(child->started());
    kill_at(*child, "k.mp3", f.path, points[i], extra(random));
    EXPECT_FALSE(std::filesystem::exists(path("k.mp3")));
  }

  const auto record = read_record(path("k.mp3.part.rec"));
  ASSERT_TRUE(record);
  const std::int64_t missing = size - record->received_total();
  sim::AudioFaults quicker;
  quicker.rate_cap = 160000;
  server_.set_faults(f.path, quicker);
  server_.clear_sent();
  server_.log().clear();
  TaskParam p = param_for(f.url, "k.mp3");
  p.connections = kConnections;
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(files(), std::vector<std::string>{"k.mp3"});
  EXPECT_EQ(file_sha256(path("k.mp3")), server_.sha256(f.path));
  const auto requests = server_.log().matching(f.path).size();
  EXPECT_LE(refetched(server_.sent(f.path), *record),
            static_cast<std::uint64_t>(kConnections * kBlock));
  EXPECT_LE(server_.bytes_sent(f.path),
            static_cast<std::uint64_t>(missing + kBlock * static_cast<std::int64_t>(requests)));
}


TEST_F(KillResumeTest, TerminatedFetchKeepsItsWorkUnderTheWorkingName) {
  sim::AudioFaults paced;
  paced.rate_cap = 20000;
  const sim::AudioFile f = server_.add_file(2000000, paced);
  const auto child = start_fetch(f.url, path("t.mp3"));
  ASSERT_TRUE(child->started());
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  auto claimed = [&] {
    const auto r = read_record(path("t.mp3.part.rec"));
    return r ? r->received_total() : 0;
  };
  while (claimed() < 100000 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  child->signal(SIGTERM);
  ASSERT_TRUE(child->finish(std::chrono::seconds(60)));
  EXPECT_EQ(child->exit_code(), 1);  // stopped, not complete
  EXPECT_EQ(files(), (std::vector<std::string>{"t.mp3.part", "t.mp3.part.rec"}));
  EXPECT_GE(claimed(), 100000);
}

}  // namespace
}  // namespace lumora::test
