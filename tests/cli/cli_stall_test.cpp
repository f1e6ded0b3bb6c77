// A track whose source never answers, or answers too slowly, is given up
// after --stall seconds, and the album goes on.
#include <chrono>
#include <filesystem>

#include "cli_fixture.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/test_support/paced_file.h"

namespace lumora::test {
namespace {

TEST_F(CliTest, ARefusedSourceFailsAfterTheStallAndTheAlbumGoesOn) {
  const sim::SimTrack& good = album(sim::albums::kTwentyTracks).tracks[0];
  const std::string dead =
      "http://127.0.0.1:" + std::to_string(free_loopback_port()) + "/dead.mp3";
  sim.mobile_overrides().add(
      {.needle = "albumId=4444&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"Dead","playUrl64":")" + dead +
               R"("},{"title":"Good","playUrl64":")" + good.play_url + R"("}]}})"});
  const RunResult r = cli({"get", "4444", "--dir", folder.string(), "--stall", "2"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("track 1/2 Dead.mp3: no answer for 2 s: connection refused"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("done 1, skipped 0, failed 1 - "), std::string::npos) << r.out;
  EXPECT_EQ(file_sha256("Good.mp3"), sim.expected_sha256(good));
}

// A source that answers a byte at a time is given up as too slow, not as
// silent, and what it sent is kept.
TEST_F(CliTest, ATrickleFailsAsTooSlowWithItsWorkKept) {
  PacedFile trickle(10000, 1, std::chrono::milliseconds(200));
  LoopbackServer server(trickle.handler());
  sim.mobile_overrides().add(
      {.needle = "albumId=4445&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"Slow","playUrl64":")" +
               server.url("/slow.mp3") + R"("}]}})"});
  const RunResult r = cli({"get", "4445", "--dir", folder.string(), "--stall", "1"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("track 1/1 Slow.mp3: less than 1 KiB in 1 s"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(folder / "Slow.mp3.part"));
}

}  // namespace
}  // namespace lumora::test
