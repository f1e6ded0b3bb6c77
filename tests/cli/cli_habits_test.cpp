// What users of download tools expect of get: one line for the whole album
// on a terminal and none of its cursor movements elsewhere, a summary with
// bytes and time, -q, --limit-rate and --exec.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_fixture.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using sim::albums::kTwentyTracks;

// The size as the summary writes it.
std::string mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", bytes < 1048576 ? bytes / 1024.0 : bytes / 1048576.0,
                bytes < 1048576 ? "KiB" : "MiB");
  return text;
}

TEST_F(CliTest, TheSummaryTellsBytesAndTimeAndQuietLeavesOnlyIt) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const std::uint64_t bytes = a.tracks[0].size + a.tracks[1].size + a.tracks[2].size;
  const RunResult r = get(a.id, {"--tracks", "1-3", "-q"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("done 3, skipped 0, failed 0 - " + mebibytes(bytes) + " in ", 0), 0u) << r.out;
  EXPECT_EQ(lines_starting(r.out, "").size(), 1u) << r.out;
  EXPECT_EQ(r.err, "");

  const RunResult again = get(a.id, {"--tracks", "1-4", "--skip-existing"});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(lines_starting(again.out, "skipped ").size(), 3u);
  EXPECT_NE(again.out.find("done 1, skipped 3, failed 0 - " + mebibytes(a.tracks[3].size) + " in "),
            std::string::npos)
      << again.out;
}

// On a terminal the album's line heads the live lines; TERM=dumb, or no
// terminal at all, gets no cursor movement.
TEST_F(CliTest, TheAlbumLineIsLiveOnlyOnATerminalThatMovesItsCursor) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  sim.audio().set_faults(a.tracks[0].audio_path, {.rate_cap = 40000});
  for (const char* term : {"TERM=xterm", "TERM=dumb", "TERM"}) {
    SCOPED_TRACE(term);
    std::filesystem::remove_all(folder);
    const RunResult r = run_program(
        LUMORAFM_CLI_PATH,
        with_platform({"get", std::to_string(a.id), "--dir", folder.string(), "--tracks", "1-2"}),
        {.output = ChildSetup::Output::kTerminal, .output_file = {}, .env = {term}});
    ASSERT_EQ(r.code, 0) << r.err;
    const bool live = std::string(term) == "TERM=xterm";
    EXPECT_EQ(r.out.find('\x1b') != std::string::npos, live) << r.out;
    EXPECT_EQ(r.out.find("/2 tracks  ") != std::string::npos, live) << r.out;
    EXPECT_NE(r.out.find("done    1/20  " + file_name(a.tracks[0])), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("done 2, skipped 0, failed 0 - "), std::string::npos) << r.out;
  }
}

// The limit is shared by the running tracks: two at once take as long
// as the same bytes one after the other would.
TEST_F(CliTest, LimitRateHoldsTheAlbumToItsRate) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const std::uint64_t bytes = a.tracks[0].size + a.tracks[1].size;
  const std::uint64_t rate = 256 * 1024;
  const auto began = std::chrono::steady_clock::now();
  const RunResult r = get(a.id, {"--tracks", "1-2", "--jobs", "2", "--limit-rate", "256K"});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_GE(seconds, 0.75 * static_cast<double>(bytes) / rate) << bytes << " bytes";
  for (int i = 0; i < 2; ++i) EXPECT_EQ(file_sha256(file_name(a.tracks[i])), sim.expected_sha256(a.tracks[i]));
}

// A track that ends leaves its part of the limit to the one still running:
// the long one ends well before it would at half the limit throughout.
TEST_F(CliTest, LimitRateGoesWholeToTheTracksStillRunning) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const auto by_size = [](const sim::SimTrack& x, const sim::SimTrack& y) { return x.size < y.size; };
  const auto shortest = std::min_element(a.tracks.begin(), a.tracks.end(), by_size);
  const auto longest = std::max_element(a.tracks.begin(), a.tracks.end(), by_size);
  ASSERT_LT(shortest->size * 4, longest->size);
  const double rate = static_cast<double>(longest->size / 2);  // the long one alone: 2 s
  const std::string list = std::to_string(shortest - a.tracks.begin() + 1) + "," +
                           std::to_string(longest - a.tracks.begin() + 1);
  const auto began = std::chrono::steady_clock::now();
  const RunResult r = get(a.id, {"--tracks", list, "--jobs", "2", "--limit-rate",
                                 std::to_string(longest->size / 2)});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ASSERT_EQ(r.code, 0) << r.err;
  const double both = static_cast<double>(shortest->size + longest->size) / rate;
  const double at_half = 2 * static_cast<double>(longest->size) / rate;
  EXPECT_GE(seconds, 0.9 * both);
  EXPECT_LT(seconds, 0.9 * at_half) << "the whole limit never went to the long track";
  EXPECT_EQ(file_sha256(file_name(*longest)), sim.expected_sha256(*longest));
}

// --exec runs the program itself, never a shell, once per new file, and
// says when it fails.
TEST_F(CliTest, ExecRunsTheProgramWithEachNewFilesPath) {
  const std::filesystem::path hook = folder.parent_path() / "hook";
  const std::filesystem::path calls = folder.parent_path() / "calls";
  std::ofstream(hook) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << calls << "\n"
                      << "case \"$1\" in *second*) exit 3;; esac\n";
  std::filesystem::permissions(hook, std::filesystem::perms::owner_all);
  const std::string title = "it's a $(touch nope); b";
  const std::string good = album(kTwentyTracks).tracks[0].play_url;
  sim.mobile_overrides().add(
      {.needle = "albumId=4300&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":")" + title + R"(","playUrl64":")" + good +
               R"("},{"title":"second","playUrl64":")" + good + R"("},{"title":"none"}]}})"});
  const RunResult r = cli({"get", "4300", "--dir", folder.string(), "--exec", hook.string()});
  EXPECT_EQ(r.code, 1);
  const std::string first = (folder / "it's a $(touch nope); b.mp3").string();
  EXPECT_EQ(read_file(calls), first + "\n" + (folder / "second.mp3").string() + "\n");
  EXPECT_NE(r.err.find(hook.string() + " exited with status 3 (for " + (folder / "second.mp3").string() + ")"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "nope"));
  EXPECT_FALSE(std::filesystem::exists("nope"));

  const RunResult missing = cli({"get", "4300", "--dir", folder.string(), "--skip-existing",
                                 "--tracks", "3", "--exec", "/no/such/program"});
  EXPECT_EQ(missing.code, 1);  // track 3 has no address; nothing new to run it for
  EXPECT_EQ(missing.err.find("cannot run"), std::string::npos);
  std::filesystem::remove(folder / "second.mp3");
  const RunResult unstartable = cli({"get", "4300", "--dir", folder.string(), "--tracks", "2",
                                     "--exec", "/no/such/program"});
  EXPECT_EQ(unstartable.code, 1);
  EXPECT_NE(unstartable.err.find("cannot run /no/such/program: No such file or directory"),
            std::string::npos)
      << unstartable.err;
}

}  // namespace
}  // namespace lumora::test
