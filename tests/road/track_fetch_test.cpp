// One track through TrackFetch against the simulator's audio server: the
// window's way (started, then polled on a borrowed Download) and the command
// line's (run on its own Download with a stall window and a rate cap).
#include "lumora/road/track_fetch.h"

#include <sys/mount.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "engine_fixture.h"
#include "lumora/road/walk_task.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/test_support/paced_file.h"
#include "lumora/text/code_page.h"

namespace lumora::test {
namespace {

class TrackFetchTest : public EngineTest {
 protected:
  Text gbk_path(const std::string& name) const { return utf8_to_gbk(path(name)); }
  sim::AudioServer server_;
};

// The walk's settings with the fetch's own routine; what the caller adds is
// checked by each test.
void expect_walk_settings(const TaskParam& p, const Text& address, const Text& path) {
  const TaskParam walk = walk_task_param(address, path);
  EXPECT_EQ(p.url, walk.url);
  EXPECT_EQ(p.save_path, walk.save_path);
  EXPECT_EQ(p.mode_flags, walk.mode_flags);
  EXPECT_EQ(p.connections, walk.connections);
  EXPECT_EQ(p.connect_timeout_ms, walk.connect_timeout_ms);
  EXPECT_EQ(p.send_timeout_ms, walk.send_timeout_ms);
  EXPECT_EQ(p.receive_timeout_ms, walk.receive_timeout_ms);
  EXPECT_EQ(p.stop_wait_ms, walk.stop_wait_ms);
  EXPECT_EQ(p.receive_block_size, walk.receive_block_size);
  EXPECT_TRUE(p.event_routine);
}

TEST_F(TrackFetchTest, StartedFetchPolledOnABorrowedDownloadEndsWhole) {
  const sim::AudioFile f = server_.add_file(300000);
  TrackFetch fetch(download_);
  ASSERT_TRUE(fetch.start(f.url, gbk_path("a.mp3")));
  expect_walk_settings(fetch.task_param(), f.url, gbk_path("a.mp3"));
  EXPECT_FALSE(fetch.task_param().stall_timeout_ms);
  EXPECT_EQ(fetch.task_param().throughput_cap, 0);

  std::optional<FetchResult> r;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(r = fetch.wait(std::chrono::milliseconds(10))) &&
         std::chrono::steady_clock::now() < deadline) {
  }
  ASSERT_TRUE(r) << "the fetch did not end within 60 s";
  EXPECT_EQ(r->outcome, TaskOutcome::kComplete);
  EXPECT_EQ(r->final_path, gbk_path("a.mp3"));
  EXPECT_EQ(r->reason, "");
  EXPECT_FALSE(fetch.busy());
  EXPECT_EQ(fetch.progress().size, 300000);
  EXPECT_EQ(file_sha256(path("a.mp3")), server_.sha256(f.path));
  // A result is handed over once.
  EXPECT_FALSE(fetch.wait(std::chrono::milliseconds(0)));
}

TEST_F(TrackFetchTest, RunAddsTheStallWindowAndTheCapToTheWalksSettings) {
  const sim::AudioFile f = server_.add_file(100000);
  TrackFetch fetch;
  fetch.set_throughput_cap(50 << 20);
  const FetchResult r = fetch.run(f.url, gbk_path("b.mp3"), 7);
  EXPECT_EQ(r.outcome, TaskOutcome::kComplete) << r.reason;
  expect_walk_settings(fetch.task_param(), f.url, gbk_path("b.mp3"));
  EXPECT_EQ(fetch.task_param().stall_timeout_ms, 7000);
  EXPECT_EQ(fetch.task_param().throughput_cap, 50 << 20);
  EXPECT_EQ(file_sha256(path("b.mp3")), server_.sha256(f.path));
}

TEST_F(TrackFetchTest, RefusedAddressAndEarlyStopEndAtOnceWithTheirReason) {
  const sim::AudioFile f = server_.add_file(1000);
  {
    SCOPED_TRACE("an address the engine refuses");
    TrackFetch fetch(download_);
    EXPECT_FALSE(fetch.start("gopher://127.0.0.1/x", gbk_path("c.mp3")));
    EXPECT_FALSE(fetch.wait(std::chrono::milliseconds(0)));
    const FetchResult r = fetch.run("gopher://127.0.0.1/x", gbk_path("c.mp3"), 120);
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.reason, "address not accepted: gopher://127.0.0.1/x");
    EXPECT_EQ(r.final_path, gbk_path("c.mp3"));
  }
  {
    SCOPED_TRACE("stopped before it ran");
    TrackFetch fetch;
    fetch.stop();
    const FetchResult r = fetch.run(f.url, gbk_path("d.mp3"), 120);
    EXPECT_EQ(r.outcome, TaskOutcome::kStopped);
    EXPECT_EQ(r.reason, "interrupted");
    EXPECT_TRUE(server_.log().matching(f.path).empty());
  }
  EXPECT_TRUE(files().empty());
}

// Only a file that could not be created is named in the reason; a disk that
// fills up (a 1 MiB tmpfs, as root) is the engine's own words.
TEST_F(TrackFetchTest, OnlyAFileThatCannotBeCreatedIsNamedInTheReason) {
  const sim::AudioFile f = server_.add_file(4000000);
  {
    SCOPED_TRACE("a folder that does not exist");
    const std::string missing = path("missing/e.mp3");
    const FetchResult r = TrackFetch().run(f.url, utf8_to_gbk(missing), 120);
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.reason, "local file error: cannot create " + missing + ": No such file or directory");
  }
  {
    SCOPED_TRACE("a full disk");
    const std::string small = path("small");
    std::filesystem::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
      GTEST_SKIP() << "cannot mount a tmpfs here";
    const FetchResult r = TrackFetch().run(f.url, utf8_to_gbk(small + "/f.mp3"), 120);
    ::umount(small.c_str());
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.reason, "local file error: No space left on device");
  }
}

// A fetch given up by its stall window says whether the source never
// answered or answered too slowly; what a slow one sent is kept.
TEST_F(TrackFetchTest, StalledFetchTellsASilentSourceFromASlowOne) {
  PacedFile trickle(10000, 1, std::chrono::milliseconds(200));
  LoopbackServer slow(trickle.handler());
  struct Case {
    const char* what;
    std::string url;
    const char* reason;
    bool work_kept;
  };
  const Case cases[] = {
      {"refused", "http://127.0.0.1:" + std::to_string(free_loopback_port()) + "/dead.mp3",
       "no answer for 1 s: connection refused", false},
      {"a byte at a time", slow.url("/slow.mp3"), "less than 1 KiB in 1 s", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TrackFetch fetch;
    const FetchResult r = fetch.run(c.url, gbk_path("e.mp3"), 1);
    EXPECT_EQ(r.outcome, TaskOutcome::kStalled);
    EXPECT_EQ(r.reason, c.reason);
    EXPECT_EQ(std::filesystem::exists(path("e.mp3.part")), c.work_kept);
    std::filesystem::remove(path("e.mp3.part"));
    std::filesystem::remove(path("e.mp3.part.rec"));
  }
}

}  // namespace
}  // namespace lumora::test
