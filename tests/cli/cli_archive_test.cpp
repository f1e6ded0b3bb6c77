// get's archive as a user meets it: tracks known by the platform's identity,
// not by a file that happens to have their name and size; files changed
// since they were archived; addresses that change from run to run; an
// archive written by the first format.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_fixture.h"

namespace lumora::test {
namespace {

using sim::albums::kSameNames;
using sim::albums::kTwentyTracks;

std::string archive_text(const std::filesystem::path& folder) {
  std::ifstream in(folder / ".lumorafm-archive");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(CliTest, TracksThatMakeTheSameNameAreEachFetchedAndArchivedOnce) {
  const sim::SimAlbum& a = album(kSameNames);
  const RunResult first = get(a.id, {"--skip-existing"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_NE(first.out.find("done 4, skipped 0, failed 0 - "), std::string::npos) << first.out;
  EXPECT_EQ(mp3_files(),
            (std::vector<std::string>{"Same(1).mp3", "Same.mp3", "a_b(1).mp3", "a_b.mp3"}));
  const std::string archive = archive_text(folder);
  const std::vector<std::string> names = {"Same.mp3", "Same(1).mp3", "a_b.mp3", "a_b(1).mp3"};
  for (std::size_t i = 0; i < a.tracks.size(); ++i) {
    const std::string line = "album " + std::to_string(a.id) + " track " +
                             std::to_string(a.id * 1000 + static_cast<std::int64_t>(i) + 1) +
                             "\t" + std::to_string(a.tracks[i].size) + "\t" + names[i] + "\n";
    EXPECT_NE(archive.find(line), std::string::npos) << line << archive;
    EXPECT_EQ(file_sha256(names[i]), sim.expected_sha256(a.tracks[i])) << names[i];
  }

  const std::size_t gets = audio_gets();
  const RunResult second = get(a.id, {"--skip-existing"});
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_NE(second.out.find("done 0, skipped 4, failed 0 - "), std::string::npos) << second.out;
  EXPECT_EQ(audio_gets(), gets);
}

// A file shorter or longer than the archive says is not the track any more.
TEST_F(CliTest, AFileChangedSinceItWasArchivedIsFetchedAgainAndSaysSo) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const std::uint64_t size = a.tracks[0].size;
  for (const std::uint64_t changed : {std::uint64_t{100}, size + 100}) {
    SCOPED_TRACE(changed);
    std::filesystem::remove_all(folder);
    ASSERT_EQ(get(a.id, {"--tracks", "1-2"}).code, 0);
    std::filesystem::resize_file(folder / file_name(a.tracks[0]), changed);
    const RunResult r = get(a.id, {"--tracks", "1-2", "--skip-existing"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("done 1, skipped 1, failed 0 - "), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("track 1/20 " + file_name(a.tracks[0]) + " has " + std::to_string(changed) +
                         " bytes, not the " + std::to_string(size) +
                         " it had when archived: fetching it again"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(file_sha256(file_name(a.tracks[0], "(1)")), sim.expected_sha256(a.tracks[0]));

    const std::size_t gets = audio_gets();
    const RunResult again = get(a.id, {"--tracks", "1-2", "--skip-existing"});
    EXPECT_NE(again.out.find("done 0, skipped 2, failed 0 - "), std::string::npos) << again.out;
    EXPECT_EQ(audio_gets(), gets);
  }
}

// Tagged, so a file's size no longer tells the track: only the archive does.
TEST_F(CliTest, TwoDemoRunsOnFreshPortsFetchOnce) {
  const std::vector<std::string> args = {"--demo", "get", std::to_string(kTwentyTracks),
                                         "--dir", folder.string(), "--tracks", "1-3",
                                         "--skip-existing", "--tag"};
  const RunResult first = run_program(LUMORAFM_CLI_PATH, args);
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_NE(first.out.find("done 3, skipped 0, failed 0 - "), std::string::npos) << first.out;
  const RunResult second = run_program(LUMORAFM_CLI_PATH, args);
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_NE(second.out.find("done 0, skipped 3, failed 0 - "), std::string::npos) << second.out;
  EXPECT_EQ(mp3_files().size(), 3u);
}

TEST_F(CliTest, AnArchiveOfTheFirstFormatStillCountsAndIsCarriedOver) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  ASSERT_EQ(get(a.id, {"--tracks", "1-2", "--tag"}).code, 0);
  const std::string old_lines = a.tracks[0].play_url + "\t" + file_name(a.tracks[0]) + "\n" +
                                a.tracks[1].play_url + "\t" + file_name(a.tracks[1]) + "\n";
  std::ofstream(folder / ".lumorafm-archive", std::ios::trunc) << old_lines;
  const std::size_t gets = audio_gets();
  const RunResult r = get(a.id, {"--tracks", "1-2", "--skip-existing"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("done 0, skipped 2, failed 0 - "), std::string::npos) << r.out;
  EXPECT_EQ(audio_gets(), gets);
  // The old lines stay; each track is noted again under its identity.
  const std::string archive = archive_text(folder);
  EXPECT_EQ(archive.rfind(old_lines, 0), 0u) << archive;
  EXPECT_NE(archive.find("album " + std::to_string(a.id) + " track " +
                         std::to_string(a.id * 1000 + 1) + "\t"),
            std::string::npos)
      << archive;
}

}  // namespace
}  // namespace lumora::test
