// search and tracks as a script sees them: lines and JSON on standard output.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "cli_fixture.h"

namespace lumora::test {
namespace {

using sim::albums::kFortyFiveTracks;

TEST_F(CliTest, SearchPrintsEveryAlbumAsLinesAndAsJson) {
  const auto expected = sim.catalogue().search(sim::kKeyword);
  const RunResult plain = cli({"search", std::string(sim::kKeyword)});
  ASSERT_EQ(plain.code, 0) << plain.err;
  const auto lines = lines_starting(plain.out, "");
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const sim::SimAlbum& a = *expected[i];
    EXPECT_EQ(lines[i], std::to_string(a.id) + "\t" + a.title + "\t" +
                            a.category_title.value_or("") + "\t" + a.nickname);
  }

  const RunResult json = cli({"search", std::string(sim::kKeyword), "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  const auto albums = nlohmann::json::parse(json.out);
  ASSERT_EQ(albums.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(albums[i]["id"], expected[i]->id);
    EXPECT_EQ(albums[i]["title"], expected[i]->title);
    EXPECT_EQ(albums[i]["category"], expected[i]->category_title.value_or(""));
    EXPECT_EQ(albums[i]["uploader"], expected[i]->nickname);
  }
}

TEST_F(CliTest, TracksPrintsNumberTitleAndAddress) {
  const sim::SimAlbum& a = album(kFortyFiveTracks);
  const RunResult plain = cli({"tracks", std::to_string(a.id)});
  ASSERT_EQ(plain.code, 0) << plain.err;
  const auto lines = lines_starting(plain.out, "");
  ASSERT_EQ(lines.size(), a.tracks.size());
  EXPECT_EQ(lines[44], "45\t" + a.tracks[44].title + "\t" + a.tracks[44].play_url);

  const RunResult json = cli({"tracks", std::to_string(a.id), "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  const auto tracks = nlohmann::json::parse(json.out);
  ASSERT_EQ(tracks.size(), a.tracks.size());
  for (std::size_t i = 0; i < a.tracks.size(); ++i) {
    EXPECT_EQ(tracks[i]["number"], i + 1);
    EXPECT_EQ(tracks[i]["title"], a.tracks[i].title);
    EXPECT_EQ(tracks[i]["address"], a.tracks[i].play_url);
  }
}

TEST_F(CliTest, NothingFoundAndNothingListedAreTold) {
  const RunResult none = cli({"search", "nothing-like-this", "--json"});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(nlohmann::json::parse(none.out).size(), 0u);

  const RunResult unknown = cli({"tracks", "999"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("cannot be listed"), std::string::npos);
}

// A page that cannot be read is passed over; the pages after it still count.
TEST_F(CliTest, ListingWithAnUnreadablePageWarnsAndExitsOne) {
  for (const auto& [page, lines] : {std::pair{"pageId=3&", 40u}, std::pair{"pageId=2&", 25u}}) {
    SCOPED_TRACE(page);
    sim.mobile_overrides().clear();
    sim.mobile_overrides().add({.needle = page, .status = 500, .body = "down"});
    const RunResult r = cli({"tracks", std::to_string(kFortyFiveTracks)});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lines_starting(r.out, "").size(), lines);
    EXPECT_NE(r.err.find("1 of 3 pages could not be read"), std::string::npos) << r.err;
  }
}

TEST_F(CliTest, ARepeatingHugePageCountEndsWithTheTracksOnce) {
  std::string list;
  for (int i = 0; i < 20; ++i)
    list += std::string(i ? "," : "") + R"({"title":"t)" + std::to_string(i) + R"(","playUrl64":"u"})";
  sim.mobile_overrides().add(
      {.needle = "albumId=77&", .body = R"({"data":{"maxPageId":2000000000,"list":[)" + list + "]}}"});
  const RunResult r = cli({"tracks", "77"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(lines_starting(r.out, "").size(), 20u);
  EXPECT_NE(r.err.find("ended at page 2 of 2000000000"), std::string::npos) << r.err;
}

// A title that would drive the terminal (a window title, a clear screen, a
// carriage return) reaches it as visible escapes; JSON keeps it exact.
TEST_F(CliTest, ControlCharactersInTitlesReachTheTerminalAsEscapes) {
  const std::string title = "a\x1b]0;owned\x07" "b\x1b[2J\rc";
  const std::string address = album(sim::albums::kTwentyTracks).tracks[0].play_url;
  sim.mobile_overrides().add(
      {.needle = "albumId=78&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"a\u001b]0;owned\u0007b\u001b[2J\rc",)"
               R"("playUrl64":")" + address + R"("}]}})"});
  const auto raw_control = [](const std::string& text) {
    return std::find_if(text.begin(), text.end(), [](unsigned char c) {
             return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7f;
           }) != text.end();
  };

  const RunResult plain = cli({"tracks", "78"});
  ASSERT_EQ(plain.code, 0) << plain.err;
  EXPECT_FALSE(raw_control(plain.out)) << plain.out;
  EXPECT_NE(plain.out.find("a\\x1b]0;owned\\x07b\\x1b[2J"), std::string::npos) << plain.out;

  const RunResult json = cli({"tracks", "78", "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(nlohmann::json::parse(json.out)[0]["title"], title);

  const RunResult got = cli({"get", "78", "--dir", folder.string()});
  EXPECT_EQ(got.code, 0) << got.err;
  EXPECT_FALSE(raw_control(got.out)) << got.out;
  EXPECT_FALSE(raw_control(got.err)) << got.err;
  EXPECT_EQ(mp3_files().size(), 1u);
}

TEST_F(CliTest, UsageErrorsExitTwoWithoutAsking) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"fetch", "1"},
      {"tracks"},
      {"tracks", "12a"},
      {"tracks", "1", "--dir", "/tmp"},
      {"get", "1"},
      {"get", "1", "--dir", "/tmp", "--jobs", "0"},
      {"get", "1", "--dir", "/tmp", "--jobs", "x"},
      {"search", "a", "--demo"},
      {"search", "a", "--frobnicate"},
      {"search", "a", "b"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(testing::PrintToString(args));
    const RunResult r = cli(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("lumorafm-cli: "), std::string::npos);
  }
  EXPECT_TRUE(sim.search_log().snapshot().empty());
  EXPECT_TRUE(sim.mobile_log().snapshot().empty());

  const RunResult help = run_program(LUMORAFM_CLI_PATH, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("get ALBUM_ID --dir DIR"), std::string::npos);
  const RunResult version = run_program(LUMORAFM_CLI_PATH, {"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("lumorafm-cli ", 0), 0u);
}

}  // namespace
}  // namespace lumora::test
