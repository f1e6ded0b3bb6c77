// get as a user runs it: files byte for byte, numbering, the archive,
// track lists, reasons for failures, tags, jobs and Ctrl+C.
#include <signal.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "cli_fixture.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using sim::albums::kOddTitles;
using sim::albums::kTwentyTracks;

TEST_F(CliTest, GetFetchesByteExactNumbersAgainAndSkipsWhatItHas) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const RunResult first = get(a.id);
  ASSERT_EQ(first.code, 0) << first.err;
  for (const sim::SimTrack& t : a.tracks)
    EXPECT_EQ(file_sha256(file_name(t)), sim.expected_sha256(t)) << t.title;
  EXPECT_EQ(lines_starting(first.out, "done    ").size(), 20u);
  EXPECT_NE(first.out.find("done 20, skipped 0, failed 0 - "), std::string::npos);

  const RunResult second = get(a.id);
  ASSERT_EQ(second.code, 0) << second.err;
  for (const sim::SimTrack& t : a.tracks)
    EXPECT_EQ(file_sha256(file_name(t, "(1)")), sim.expected_sha256(t)) << t.title;
  EXPECT_EQ(mp3_files().size(), 40u);

  const std::size_t gets = audio_gets();
  const RunResult third = get(a.id, {"--skip-existing"});
  EXPECT_EQ(third.code, 0) << third.err;
  EXPECT_EQ(audio_gets(), gets);
  EXPECT_NE(third.out.find("done 0, skipped 20, failed 0 - "), std::string::npos);
  EXPECT_EQ(mp3_files().size(), 40u);
}

TEST_F(CliTest, SkipExistingKnowsOldFilesBySizeAndFetchesDeletedOnes) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  ASSERT_EQ(get(a.id, {"--tracks", "1-4"}).code, 0);
  std::filesystem::remove(folder / ".lumorafm-archive");  // as if from before the archive
  std::filesystem::remove(folder / file_name(a.tracks[1]));
  {
    std::ofstream wrong(folder / file_name(a.tracks[2]), std::ios::trunc);
    wrong << "not the track";
  }
  const std::size_t gets = audio_gets();
  const RunResult r = get(a.id, {"--tracks", "1-4", "--skip-existing"});
  EXPECT_EQ(r.code, 0) << r.err;
  // Tracks 1 and 4 are there at the server's size; 2 is gone, 3 is not the
  // track: those two are fetched, 3 under a numbered name.
  EXPECT_NE(r.out.find("done 2, skipped 2, failed 0 - "), std::string::npos) << r.out;
  EXPECT_GT(audio_gets(), gets);
  EXPECT_EQ(file_sha256(file_name(a.tracks[1])), sim.expected_sha256(a.tracks[1]));
  EXPECT_EQ(file_sha256(file_name(a.tracks[2], "(1)")), sim.expected_sha256(a.tracks[2]));

  // Now every one of the four is in the archive: nothing more is fetched.
  const std::size_t after = audio_gets();
  EXPECT_EQ(get(a.id, {"--tracks", "1-4", "--skip-existing"}).code, 0);
  EXPECT_EQ(audio_gets(), after);
}

TEST_F(CliTest, TrackListsChooseTracksAndBadOnesFetchNothing) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  for (const char* bad : {"0", "21", "5-3", "1,,2", "", "a", "1-", "-3", "2-x", "1;2", "+1"}) {
    SCOPED_TRACE(bad);
    const RunResult r = get(a.id, {"--tracks", bad});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("bad track list item"), std::string::npos) << r.err;
  }
  EXPECT_EQ(audio_gets(), 0u);
  EXPECT_TRUE(mp3_files().empty());

  const RunResult r = get(a.id, {"--tracks", "3-4,1,4,20"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<std::string> expected = {file_name(a.tracks[0]), file_name(a.tracks[2]),
                                       file_name(a.tracks[3]), file_name(a.tracks[19])};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(mp3_files(), expected);
  // In the album's order.
  const auto done = lines_starting(r.out, "done    ");
  ASSERT_EQ(done.size(), 4u);
  EXPECT_EQ(done[0].find("1/20"), 8u);
  EXPECT_EQ(done[3].find("20/20"), 8u);
}

TEST_F(CliTest, FailedTracksSayWhyWhileTheOthersComplete) {
  const sim::SimAlbum& a = album(kOddTitles);
  ASSERT_TRUE(sim.audio().set_faults(a.tracks[1].audio_path, {.not_found = true}));
  ASSERT_TRUE(sim.audio().set_faults(a.tracks[2].audio_path, {.no_content_length = true}));
  const RunResult r = get(a.id);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("track 2/5 " + file_name(a.tracks[1]) + ": HTTP 404"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("track 3/5 " + file_name(a.tracks[2]) + ": no size"), std::string::npos);
  EXPECT_NE(r.err.find(": no address"), std::string::npos);
  int complete = 0;
  for (const sim::SimTrack& t : a.tracks) {
    if (t.play_url.empty() || t.audio_path == a.tracks[1].audio_path ||
        t.audio_path == a.tracks[2].audio_path)
      continue;
    EXPECT_EQ(file_sha256(file_name(t)), sim.expected_sha256(t)) << t.title;
    ++complete;
  }
  EXPECT_NE(r.out.find("done " + std::to_string(complete) + ", skipped 0, failed 3 - "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(mp3_files().size(), static_cast<std::size_t>(complete));
}

TEST_F(CliTest, ANameWithEveryNumberTakenIsALocalFileErrorWithItsPath) {
  const sim::SimTrack& track = album(kTwentyTracks).tracks[0];
  std::filesystem::create_directories(folder);
  std::ofstream(folder / file_name(track)) << "mine";
  for (int n = 1; n <= 99; ++n)
    std::ofstream(folder / file_name(track, '(' + std::to_string(n) + ')')) << "mine";
  const RunResult r = get(kTwentyTracks, {"--tracks", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("local file error: cannot create " + (folder / file_name(track)).string()),
            std::string::npos)
      << r.err;
  EXPECT_EQ(mp3_files().size(), 100u);
}

TEST_F(CliTest, TagsReadBackAndTaggedFilesAreStillSkipped) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const std::string page =
      R"({"data":{"maxPageId":1,"list":[{"title":"第1集","playUrl64":")" + a.tracks[0].play_url +
      R"(","albumTitle":"心理罪之教化场","nickname":"听书人"},{"title":"第2集","playUrl64":")" +
      a.tracks[1].play_url + R"("}]}})";
  sim.mobile_overrides().add({.needle = "albumId=4242&", .body = page});
  const RunResult r = cli({"get", "4242", "--dir", folder.string(), "--tag"});
  ASSERT_EQ(r.code, 0) << r.err;

  TagLib::MPEG::File first((folder / "第1集.mp3").c_str());
  ASSERT_NE(first.ID3v2Tag(), nullptr);
  EXPECT_EQ(first.ID3v2Tag()->title().to8Bit(true), "第1集");
  EXPECT_EQ(first.ID3v2Tag()->track(), 1u);
  EXPECT_EQ(first.ID3v2Tag()->album().to8Bit(true), "心理罪之教化场");
  EXPECT_EQ(first.ID3v2Tag()->artist().to8Bit(true), "听书人");
  TagLib::MPEG::File second((folder / "第2集.mp3").c_str());
  ASSERT_NE(second.ID3v2Tag(), nullptr);
  EXPECT_EQ(second.ID3v2Tag()->track(), 2u);
  EXPECT_TRUE(second.ID3v2Tag()->album().isEmpty());

  const std::size_t gets = audio_gets();
  const RunResult again = cli({"get", "4242", "--dir", folder.string(), "--tag", "--skip-existing"});
  EXPECT_EQ(again.code, 0);
  EXPECT_EQ(audio_gets(), gets);
  EXPECT_NE(again.out.find("skipped 2"), std::string::npos);
}

TEST_F(CliTest, JobsFetchAtMostThatManyTracksAtOnce) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  // Slow enough that tracks overlap visibly.
  for (const sim::SimTrack& t : a.tracks) sim.audio().set_faults(t.audio_path, {.rate_cap = 60000});
  ChildProcess child(LUMORAFM_CLI_PATH,
                     with_platform({"get", std::to_string(a.id), "--dir", folder.string(),
                                    "--jobs", "4"}));
  ASSERT_TRUE(child.started());
  std::size_t most = 0;
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (child.exit_code() < 0 && std::chrono::steady_clock::now() < deadline) {
    // The log first, then the finished lines: a track counted as started
    // here was started before any line read below was printed.
    std::set<std::string> started;
    for (const auto& req : sim.audio_log().snapshot()) started.insert(req.target);
    child.pump(5ms);
    const std::size_t finished = lines_starting(child.out(), "done    ").size() +
                                 lines_starting(child.out(), "failed  ").size();
    most = std::max(most, started.size() - std::min(started.size(), finished));
    if (finished == a.tracks.size()) break;
  }
  ASSERT_TRUE(child.finish());
  EXPECT_EQ(child.exit_code(), 0) << child.err();
  EXPECT_LE(most, 4u);
  EXPECT_GE(most, 2u);
  for (const sim::SimTrack& t : a.tracks)
    EXPECT_EQ(file_sha256(file_name(t)), sim.expected_sha256(t)) << t.title;
}

TEST_F(CliTest, CtrlCStopsWithinASecondKeepsTheWorkAndALaterGetResumes) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const sim::SimTrack& track = a.tracks[0];
  sim.audio().set_faults(track.audio_path, {.rate_cap = 8000});
  ChildProcess child(LUMORAFM_CLI_PATH, with_platform({"get", std::to_string(a.id), "--dir",
                                                       folder.string(), "--tracks", "1"}));
  ASSERT_TRUE(child.started());
  // Interrupt once about half the file has gone out, so the resume has work to keep.
  ASSERT_TRUE(child.pump_until(
      [&] { return sim.audio().bytes_sent(track.audio_path) >= track.size / 2; }, 30s));
  const auto signalled = std::chrono::steady_clock::now();
  child.signal(SIGINT);
  ASSERT_TRUE(child.finish(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, 1500ms);
  EXPECT_EQ(child.exit_code(), 130) << child.err();
  EXPECT_FALSE(std::filesystem::exists(folder / file_name(track)));
  EXPECT_TRUE(std::filesystem::exists(folder / (file_name(track) + ".part")));

  sim.audio().set_faults(track.audio_path, {});
  sim.audio().clear_sent();
  const RunResult again = get(a.id, {"--tracks", "1"});
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(file_sha256(file_name(track)), sim.expected_sha256(track));
  // Resumed, not fetched afresh: nothing went out again from the file's first byte.
  const auto spans = sim.audio().sent(track.audio_path);
  ASSERT_FALSE(spans.empty());
  for (const sim::SentSpan& span : spans) EXPECT_GT(span.start, 0u);
  EXPECT_EQ(mp3_files().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(folder / (file_name(track) + ".part")));
}

}  // namespace
}  // namespace lumora::test
