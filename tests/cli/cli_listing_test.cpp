// search and tracks as a script sees them: lines and JSON on standard output,
// reasons and warnings on standard error, and the exit status.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "lumora/cli/album_get.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
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
    EXPECT_EQ(albums[i]["id"], std::to_string(expected[i]->id));
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
  EXPECT_EQ(none.err, "lumorafm-cli: no albums found for 'nothing-like-this'\n");
  const RunResult plain = cli({"search", "nothing-like-this"});
  EXPECT_EQ(plain.code, 0);
  EXPECT_EQ(plain.out, "");

  const RunResult unknown = cli({"tracks", "999"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_EQ(unknown.err, "lumorafm-cli: album 999 has no tracks\n");
}

// A search or listing that could not be made is never mistaken for an
// empty one: it says why and exits 2.
TEST_F(CliTest, APlatformThatCannotBeReachedSaysWhy) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(free_loopback_port());
  struct Case {
    const char* what;
    int status;  // 0: nobody listens
    const char* body;
    const char* reason;
  };
  const Case cases[] = {
      {"refused", 0, "", "connection refused"},
      {"not found", 404, "<html>gone</html>", "HTTP 404"},
      {"not JSON", 200, "<html>", "the answer is not JSON"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.search_overrides().clear();
    sim.mobile_overrides().clear();
    sim.search_overrides().add({.needle = "kw=", .status = c.status, .body = c.body});
    sim.mobile_overrides().add({.needle = "albumId=", .status = c.status, .body = c.body});
    const auto base = [&](const std::string& real) { return c.status ? real : refused; };
    for (const bool json : {false, true}) {
      std::vector<std::string> search = {"--search-base", base(sim.search_base()), "search",
                                         std::string(sim::kKeyword)};
      std::vector<std::string> tracks = {"--mobile-base", base(sim.mobile_base()), "tracks",
                                         "3700002"};
      if (json) {
        search.push_back("--json");
        tracks.push_back("--json");
      }
      const RunResult s = run_program(LUMORAFM_CLI_PATH, search);
      EXPECT_EQ(s.code, 2);
      EXPECT_EQ(s.out, "");
      EXPECT_EQ(s.err, std::string("lumorafm-cli: cannot search: ") + c.reason + "\n");
      const RunResult t = run_program(LUMORAFM_CLI_PATH, tracks);
      EXPECT_EQ(t.code, 2);
      EXPECT_EQ(t.out, "");
      EXPECT_EQ(t.err, std::string("lumorafm-cli: album 3700002 cannot be listed: ") + c.reason + "\n");
    }
  }
}

TEST_F(CliTest, ASearchPageThatCannotBeReadWarnsAndExitsOne) {
  sim.search_overrides().add({.needle = "&page=2&", .status = 500, .body = "down"});
  const RunResult r = cli({"search", std::string(sim::kKeyword)});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(lines_starting(r.out, "").size(), 25u);
  EXPECT_NE(r.err.find("the search: 1 of 3 pages could not be read (HTTP 500)"), std::string::npos)
      << r.err;
}

// Rows reach standard output while later pages are still on their way.
TEST_F(CliTest, TracksArePrintedAsTheirPagesArrive) {
  // Shared with the simulator's threads, so kept for the whole test.
  std::mutex mutex;
  std::condition_variable released_cv;
  bool released = false;
  for (const bool json : {false, true}) {
    SCOPED_TRACE(json);
    {
      std::lock_guard lock(mutex);
      released = false;
    }
    sim.mobile_overrides().clear();
    sim.mobile_overrides().add({.needle = "pageId=3&", .body_for = [&](std::string_view) {
                                  std::unique_lock lock(mutex);
                                  released_cv.wait(lock, [&] { return released; });
                                  return std::string(R"({"data":{"maxPageId":11,"list":[]}})");
                                }});
    std::vector<std::string> args = {"tracks", std::to_string(sim::albums::kTwoHundredFiveTracks)};
    if (json) args.push_back("--json");
    ChildProcess child(LUMORAFM_CLI_PATH, with_platform(args));
    ASSERT_TRUE(child.started());
    const std::string fortieth = json ? "\"number\": 40," : "\n40\t";
    EXPECT_TRUE(child.pump_until([&] { return child.out().find(fortieth) != std::string::npos; }, 30s))
        << child.out();
    EXPECT_EQ(child.exit_code(), -1);  // still waiting for page 3
    {
      std::lock_guard lock(mutex);
      released = true;
    }
    released_cv.notify_all();
    ASSERT_TRUE(child.finish());
    EXPECT_EQ(child.exit_code(), 1);
    if (json) {
      EXPECT_EQ(nlohmann::json::parse(child.out()).size(), 40u);
    }
  }
}

// Every page different and two billion of them: the listing stops at
// 10,000 pages with a warning, and what it listed is there.
TEST_F(CliTest, AListingStopsAtTenThousandPages) {
  sim.mobile_overrides().add({.needle = "albumId=80&", .body_for = [](std::string_view target) {
                                const std::size_t at = target.find("pageId=") + 7;
                                const std::string page(target.substr(at, target.find('&', at) - at));
                                std::string list;
                                for (int i = 0; i < 20; ++i)
                                  list += std::string(i ? "," : "") + R"({"title":"p)" + page + "-" +
                                          std::to_string(i) + R"(","playUrl64":"u"})";
                                return R"({"data":{"maxPageId":2000000000,"list":[)" + list + "]}}";
                              }});
  const RunResult r = cli({"tracks", "80"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "lumorafm-cli: the listing of album 80 stopped at 10,000 pages; the platform counts "
            "2,000,000,000\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 200000);
  EXPECT_NE(r.out.find("\n200000\tp10000-19\tu\n"), std::string::npos);
  EXPECT_EQ(sim.mobile_log().snapshot().size(), 10001u);
}

// A reader that has seen enough (head -1) ends the listing at once and
// quietly, with or without the simulator in the process.
TEST_F(CliTest, AClosedPipeEndsTheListingQuietly) {
  for (const bool demo : {false, true}) {
    SCOPED_TRACE(demo);
    sim.mobile_log().clear();
    const std::vector<std::string> args = {"tracks", std::to_string(sim::albums::kTwoThousandTracks)};
    std::vector<std::string> demo_args = {"--demo"};
    demo_args.insert(demo_args.end(), args.begin(), args.end());
    ChildProcess child(LUMORAFM_CLI_PATH, demo ? demo_args : with_platform(args));
    ASSERT_TRUE(child.started());
    child.pump_until([&] { return child.out().find('\n') != std::string::npos; }, 30s);
    // However far the listing got while this test was not scheduled, once the
    // pipe is closed only the page being asked for may still be fetched (and
    // one more whose request was under way when the count was read).
    const std::size_t asked_before_close = sim.mobile_log().snapshot().size();
    child.close_output();
    ASSERT_TRUE(child.finish(30s));
    EXPECT_EQ(child.exit_code(), 128 + SIGPIPE);
    EXPECT_EQ(lines_starting(child.err(), "lumorafm-cli"), std::vector<std::string>{});
    if (!demo) {
      EXPECT_LE(sim.mobile_log().snapshot().size(), asked_before_close + 2);
    }
  }
}

// Output that cannot be written is an error the caller hears of, and the
// work stops with it.
TEST_F(CliTest, OutputThatCannotBeWrittenEndsTheRunWithWriteError) {
  const std::string album = std::to_string(sim::albums::kTwoThousandTracks);
  struct Case {
    std::vector<std::string> args;
    ChildSetup::Output output;
    const char* reason;
  };
  const Case cases[] = {
      {{"tracks", album, "--json"}, ChildSetup::Output::kFile, "No space left on device"},
      {{"tracks", album}, ChildSetup::Output::kClosed, "Bad file descriptor"},
      {{"search", std::string(sim::kKeyword)}, ChildSetup::Output::kFile, "No space left on device"},
      {{"--help"}, ChildSetup::Output::kFile, "No space left on device"},
      {{"--version"}, ChildSetup::Output::kClosed, "Bad file descriptor"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    sim.mobile_log().clear();
    const RunResult r = run_program(LUMORAFM_CLI_PATH, with_platform(c.args),
                                    {.output = c.output, .output_file = "/dev/full", .env = {}});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, std::string("lumorafm-cli: write error: ") + c.reason + "\n");
    EXPECT_LT(sim.mobile_log().snapshot().size(), 5u);
  }
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

// A first answer that could be read and pages that all failed: the pages'
// reason, never "no tracks".
TEST_F(CliTest, AnAlbumWhosePagesAllFailSaysWhy) {
  const auto answers = std::make_shared<std::atomic<int>>(0);
  sim.mobile_overrides().add({.needle = "albumId=81&", .body_for = [answers](std::string_view) {
                                if ((*answers)++ == 0)
                                  return std::string(
                                      R"({"data":{"maxPageId":2,"list":[{"title":"t","playUrl64":"u"}]}})");
                                return std::string("<html>down</html>");
                              }});
  for (const char* command : {"tracks", "get"}) {
    SCOPED_TRACE(command);
    *answers = 0;
    const RunResult r = std::string(command) == "tracks"
                            ? cli({"tracks", "81"})
                            : cli({"get", "81", "--dir", folder.string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "lumorafm-cli: album 81 cannot be listed: the answer is not JSON\n");
  }
  EXPECT_EQ(audio_gets(), 0u);
}

// get stops listing at its page limit too (set small here), says so, exits
// 1 and fetches the tracks it did list.
TEST_F(CliTest, GetStopsListingAtThePageLimitAndFetchesWhatItListed) {
  const std::string address = album(sim::albums::kTwentyTracks).tracks[0].play_url;
  sim.mobile_overrides().add(
      {.needle = "albumId=82&", .body_for = [address](std::string_view target) {
         const std::size_t at = target.find("pageId=") + 7;
         const std::string page(target.substr(at, target.find('&', at) - at));
         return R"({"data":{"maxPageId":2000000000,"list":[{"title":"p)" + page +
                R"(-a","playUrl64":")" + address + R"("},{"title":"p)" + page +
                R"(-b","playUrl64":")" + address + R"("}]}})";
       }});
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(std::tmpfile(), std::fclose);
  ASSERT_TRUE(out && err);
  cli::ProgressView view(out.get(), err.get(), cli::Display::kQuiet);
  cli::GetRequest request;
  request.album_id = "82";
  request.dir = folder.string();
  request.endpoints = {sim.search_base(), sim.mobile_base()};
  request.max_listing_pages = 3;
  const int code = cli::run_get(request, view);
  EXPECT_EQ(code, 1);
  std::fflush(err.get());
  std::rewind(err.get());
  char said[512] = {};
  EXPECT_EQ(std::string(said, std::fread(said, 1, sizeof said - 1, err.get())),
            "lumorafm-cli: the listing of album 82 stopped at 3 pages; the platform counts "
            "2,000,000,000\n");
  EXPECT_EQ(mp3_files(), (std::vector<std::string>{"p1-a.mp3", "p1-b.mp3", "p2-a.mp3", "p2-b.mp3",
                                                   "p3-a.mp3", "p3-b.mp3"}));
  EXPECT_EQ(sim.mobile_log().snapshot().size(), 4u);  // the count and three pages
}

// A title that would drive the terminal (a window title, a clear screen, a
// carriage return) reaches it as visible escapes; JSON keeps it exact.
TEST_F(CliTest, ControlCharactersInTitlesReachTheTerminalAsEscapes) {
  const std::string title = "a\x1b]0;owned\x07" "b\x1b[2J\rc";
  const std::string address = album(sim::albums::kTwentyTracks).tracks[0].play_url;
  sim.mobile_overrides().add(
      {.needle = "albumId=78&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"a\u001b]0;owned\u0007b\u001b[2J\rc",)"
               R"("playUrl64":")" + address + R"("},{"title":"x","playUrl64":"no\u001b[2J\u009f"}]}})"});
  const auto raw_control = [](const std::string& text) {
    return std::find_if(text.begin(), text.end(), [](unsigned char c) {
             return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7f;
           }) != text.end() ||
           text.find("\xc2\x9f") != std::string::npos;
  };

  const RunResult plain = cli({"tracks", "78"});
  ASSERT_EQ(plain.code, 0) << plain.err;
  EXPECT_FALSE(raw_control(plain.out)) << plain.out;
  EXPECT_NE(plain.out.find("a\\x1b]0;owned\\x07b\\x1b[2J"), std::string::npos) << plain.out;

  const RunResult json = cli({"tracks", "78", "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(nlohmann::json::parse(json.out)[0]["title"], title);

  // The second track's address is refused: the reason names it (U+009F has
  // no GBK form, so it arrives as "?").
  const RunResult got = cli({"get", "78", "--dir", folder.string()});
  EXPECT_EQ(got.code, 1) << got.err;
  EXPECT_FALSE(raw_control(got.out)) << got.out;
  EXPECT_FALSE(raw_control(got.err)) << got.err;
  EXPECT_NE(got.err.find("track 2/2 x.mp3: address not accepted: no\\x1b[2J?\n"),
            std::string::npos)
      << got.err;
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
