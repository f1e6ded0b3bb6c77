// How many connections a task opens with the engine's own minimum piece:
// on a real line each one costs a round trip to connect and another to
// ask, so a small track goes over the connection that learnt its size, and
// no piece a connection is given is smaller than the minimum.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"

namespace lumora::test {
namespace {

constexpr std::int64_t kMiB = 1 << 20;

class ConnectionCountTest : public EngineTest {
 protected:
  // A task with ten connections, as the window walk asks, and the
  // engine's own minimum piece.
  TaskParam engine_defaults(const sim::AudioFile& f, const std::string& name) {
    TaskParam p = param_for(f.url, name);
    p.min_piece = TaskParam{}.min_piece;
    return p;
  }
  sim::AudioServer server_;
};

TEST_F(ConnectionCountTest, ConnectionsFollowTheMinimumPiece) {
  struct Case {
    std::uint64_t size;
    int connections;
  } cases[] = {
      {300000, 1},
      {3 * kMiB / 2, 1},  // under two pieces: the connection that learnt the size
      {3 * kMiB, 3},
      {40 * kMiB, 10},  // never more than asked for
  };
  // Paced like a line (1 MiB in a quarter second), so that no connection
  // ends its piece before the task has opened the others.
  sim::AudioFaults paced;
  paced.rate_cap = 4 * kMiB;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const sim::AudioFile f = server_.add_file(c.size, paced);
    const std::string name = std::to_string(c.size) + ".mp3";
    Recorder recorder;
    ASSERT_EQ(run_to_end(recorder, engine_defaults(f, name)).outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(path(name)), server_.sha256(f.path));
    EXPECT_EQ(recorder.count(TaskEventKind::kConnectionStarted), c.connections);
    for (const TaskEvent& e : recorder.events()) {
      if (e.kind == TaskEventKind::kSegmentTaken) {
        EXPECT_GE(e.value2, std::min<std::int64_t>(TaskParam{}.min_piece, c.size));
      }
    }
    const auto requests = server_.log().matching(f.path);
    if (c.connections == 1) {
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_FALSE(requests.front().has_header("Range"));
    }
    std::filesystem::remove(path(name));
  }
}

TEST_F(ConnectionCountTest, ASmallTrackResumesAndSurvivesAChange) {
  struct Case {
    const char* what;
    std::uint64_t new_size;  // 0: the file stays as it was
  } cases[] = {{"resumed", 0}, {"changed", 700000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::AudioFaults paced;
    paced.rate_cap = 200000;
    const sim::AudioFile f = server_.add_file(600000, paced);
    const std::string name = std::string(c.what) + ".mp3";
    stop_after(engine_defaults(f, name), 200000);
    if (c.new_size) {
      ASSERT_TRUE(server_.replace_content(f.path, c.new_size));
    }
    server_.set_faults(f.path, {});
    server_.log().clear();

    Recorder recorder;
    ASSERT_EQ(run_to_end(recorder, engine_defaults(f, name)).outcome, TaskOutcome::kComplete);
    EXPECT_EQ(files(), std::vector<std::string>{name});
    EXPECT_EQ(file_sha256(path(name)), server_.sha256(f.path));
    const auto requests = server_.log().matching(f.path);
    ASSERT_FALSE(requests.empty());
    // A resume asks for what is missing under the validator; a changed file
    // answers that with the whole new one, on the same connection.
    EXPECT_TRUE(requests.front().has_header("If-Range"));
    EXPECT_EQ(recorder.count(TaskEventKind::kConnectionStarted), 1);
    std::filesystem::remove(path(name));
  }
}

}  // namespace
}  // namespace lumora::test
