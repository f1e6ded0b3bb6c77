// Two tracks of one title fetched at once: each line, archive entry and tag
// names the file that track really became.
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <fstream>
#include <sstream>

#include "cli_fixture.h"

namespace lumora::test {
namespace {

using sim::albums::kTwentyTracks;

TEST_F(CliTest, SameTitlesUnderTwoJobsAreReportedArchivedAndTaggedByTheirOwnFiles) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  // Slow, so the second answer arrives while the first holds "Race.mp3.part".
  for (int i = 0; i < 2; ++i) sim.audio().set_faults(a.tracks[i].audio_path, {.rate_cap = 60000});
  const std::string page = R"({"data":{"maxPageId":1,"list":[{"trackId":1,"title":"Race","playUrl64":")" +
                           a.tracks[0].play_url + R"("},{"trackId":2,"title":"Race","playUrl64":")" +
                           a.tracks[1].play_url + R"("}]}})";
  sim.mobile_overrides().add({.needle = "albumId=4343&", .body = page});
  const RunResult r = cli({"get", "4343", "--dir", folder.string(), "--jobs", "2", "--tag"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(mp3_files(), (std::vector<std::string>{"Race(1).mp3", "Race.mp3"}));

  std::ifstream in(folder / ".lumorafm-archive");
  std::stringstream archive;
  archive << in.rdbuf();
  for (const std::string name : {"Race.mp3", "Race(1).mp3"}) {
    SCOPED_TRACE(name);
    TagLib::MPEG::File file((folder / name).c_str());
    ASSERT_NE(file.ID3v2Tag(), nullptr);
    const unsigned number = file.ID3v2Tag()->track();
    ASSERT_TRUE(number == 1 || number == 2);
    // The audio after the tag is that track's own.
    const std::vector<std::string> done = lines_starting(r.out, "done    " + std::to_string(number) + "/2  ");
    ASSERT_EQ(done.size(), 1u) << r.out;
    EXPECT_EQ(done[0], "done    " + std::to_string(number) + "/2  " + name);
    EXPECT_NE(archive.str().find("album 4343 track " + std::to_string(number) + "\t" +
                                 std::to_string(std::filesystem::file_size(folder / name)) +
                                 "\t" + name + "\n"),
              std::string::npos)
        << archive.str();
    EXPECT_GT(std::filesystem::file_size(folder / name), a.tracks[number - 1].size);
  }
}

}  // namespace
}  // namespace lumora::test
