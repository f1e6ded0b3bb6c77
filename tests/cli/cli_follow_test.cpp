// follow, unfollow, following and sync as a user (or a timer) runs them:
// the followed set on disk, albums that grow, playlists, a broken
// following.json, two syncs at once and Ctrl+C.
#include <fnmatch.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using sim::albums::kTwentyTracks;
using sim::albums::kWithoutCategory;

class FollowTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    config = folder.parent_path() / "config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    CliTest::TearDown();
  }

  std::filesystem::path following_json() const { return config / "lumorafm" / "following.json"; }
  std::filesystem::path album_dir(std::int64_t id) const { return folder / std::to_string(id); }
  RunResult follow(std::int64_t id, std::vector<std::string> extra = {}) const {
    std::vector<std::string> args = {"follow", std::to_string(id), "--dir", album_dir(id).string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return cli(args);
  }
  nlohmann::json following() const {
    const RunResult r = cli({"following", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    return nlohmann::json::parse(r.out, nullptr, false);
  }
  // Audio targets requested since `from` (an index into the log).
  std::set<std::string> audio_targets_since(std::size_t from) const {
    std::set<std::string> targets;
    const auto log = sim.audio_log().snapshot();
    for (std::size_t i = from; i < log.size(); ++i) targets.insert(log[i].target);
    return targets;
  }
  std::string file_in(std::int64_t id, const sim::SimTrack& track) const {
    return sim::file_sha256((album_dir(id) / file_name(track)).string());
  }

  std::filesystem::path config;
};

TEST_F(FollowTest, FollowUnfollowAndFollowingRoundTrip) {
  EXPECT_EQ(follow(kTwentyTracks).code, 0);
  const RunResult second = follow(kWithoutCategory, {"--tag", "--playlist"});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_NE(second.out.find("following album 3700005 into " + album_dir(kWithoutCategory).string()),
            std::string::npos);

  const RunResult listed = cli({"following"});
  ASSERT_EQ(listed.code, 0) << listed.err;
  EXPECT_EQ(listed.out, "3700002\t" + album_dir(kTwentyTracks).string() + "\t-\tnever\tnever\t0\n" +
                            "3700005\t" + album_dir(kWithoutCategory).string() +
                            "\ttag,playlist\tnever\tnever\t0\n");

  // Following again changes the options in place; a relative folder is kept absolute.
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  ASSERT_EQ(cli({"follow", "3700002", "--dir", "./here/", "--playlist"}).code, 0);
  nlohmann::json albums = following();
  ASSERT_EQ(albums.size(), 2u);
  EXPECT_EQ(albums[0]["id"], "3700002");
  EXPECT_EQ(albums[0]["dir"], (folder / "here").string());
  EXPECT_EQ(albums[0]["playlist"], true);
  EXPECT_EQ(albums[0]["tag"], false);
  EXPECT_TRUE(albums[0]["last_sync"].is_null());

  EXPECT_EQ(cli({"unfollow", "3700002"}).code, 0);
  const RunResult again = cli({"unfollow", "3700002"});
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("album 3700002 is not followed"), std::string::npos);
  albums = following();
  ASSERT_EQ(albums.size(), 1u);
  EXPECT_EQ(albums[0]["id"], "3700005");
  EXPECT_EQ(albums[0]["tag"], true);
  std::filesystem::current_path("/");
}

TEST_F(FollowTest, SyncFetchesEveryFollowedAlbumWholeAndNotesTheResult) {
  ASSERT_EQ(follow(kTwentyTracks).code, 0);
  ASSERT_EQ(follow(kWithoutCategory).code, 0);
  const RunResult r = cli({"sync", "--jobs", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(lines_starting(r.out, "album ").size(), 2u) << r.out;
  EXPECT_NE(r.out.find("album 3700002  done 20, skipped 0, failed 0, held 20/20\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("album 3700005  done 3, skipped 0, failed 0, held 3/3\n"), std::string::npos);
  for (std::int64_t id : {kTwentyTracks, kWithoutCategory})
    for (const sim::SimTrack& t : album(id).tracks)
      EXPECT_EQ(file_in(id, t), sim.expected_sha256(t)) << t.title;

  const nlohmann::json albums = following();
  ASSERT_EQ(albums.size(), 2u);
  EXPECT_EQ(albums[0]["result"], "ok");
  EXPECT_EQ(albums[0]["tracks_held"], 20);
  EXPECT_EQ(albums[1]["tracks_held"], 3);
  EXPECT_TRUE(albums[1]["last_sync"].is_string());
}

TEST_F(FollowTest, AGrownAlbumSyncsExactlyItsNewTracksAndThePlaylistListsAllInOrder) {
  const sim::SimAlbum& a = album(kWithoutCategory);
  ASSERT_EQ(follow(a.id, {"--playlist"}).code, 0);
  ASSERT_EQ(cli({"sync"}).code, 0);
  const std::vector<sim::SimTrack> added = sim.grow_album(a.id, 3);
  ASSERT_EQ(added.size(), 3u);

  const std::size_t from = sim.audio_log().snapshot().size();
  const RunResult r = cli({"sync"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("album 3700005  done 3, skipped 3, failed 0, held 6/6\n"), std::string::npos)
      << r.out;
  std::set<std::string> expected;
  for (const sim::SimTrack& t : added) expected.insert(t.audio_path);
  EXPECT_EQ(audio_targets_since(from), expected);
  for (const sim::SimTrack& t : added) EXPECT_EQ(file_in(a.id, t), sim.expected_sha256(t));

  std::vector<sim::SimTrack> all = a.tracks;
  all.insert(all.end(), added.begin(), added.end());
  std::string playlist = "#EXTM3U\n";
  for (const sim::SimTrack& t : all)
    playlist += "#EXTINF:-1," + t.title + "\n" + file_name(t) + "\n";
  EXPECT_EQ(read_file(album_dir(a.id) / "3700005.m3u8"), playlist);
  EXPECT_EQ(following()[0]["tracks_held"], 6);
}

TEST_F(FollowTest, GetPlaylistLeavesFailedTracksOut) {
  const sim::SimAlbum& a = album(kWithoutCategory);
  ASSERT_TRUE(sim.audio().set_faults(a.tracks[1].audio_path, {.not_found = true}));
  const RunResult r = cli({"get", "3700005", "--dir", folder.string(), "--playlist"});
  EXPECT_EQ(r.code, 1);
  const std::string playlist = read_file(folder / "3700005.m3u8");
  EXPECT_EQ(playlist, "#EXTM3U\n#EXTINF:-1," + a.tracks[0].title + "\n" + file_name(a.tracks[0]) +
                          "\n#EXTINF:-1," + a.tracks[2].title + "\n" + file_name(a.tracks[2]) + "\n");
  // A later get of the missing track alone keeps the others in the playlist.
  sim.audio().set_faults(a.tracks[1].audio_path, {});
  ASSERT_EQ(cli({"get", "3700005", "--dir", folder.string(), "--tracks", "2", "--playlist"}).code, 0);
  EXPECT_NE(read_file(folder / "3700005.m3u8").find(file_name(a.tracks[1])), std::string::npos);
  EXPECT_EQ(lines_starting(read_file(folder / "3700005.m3u8"), "#EXTINF:").size(), 3u);
}

TEST_F(FollowTest, AFollowingFileThatCannotBeReadIsReportedAndLeftByteIdentical) {
  const std::string broken_files[] = {
      "{\"albums\": [",  // cut short
      "{\"albums\": {}}",
      "{\"albums\": [{\"id\": \"37x\", \"dir\": \"/tmp\"}]}",
      "{\"albums\": [{\"id\": \"1\", \"dir\": \"relative\"}]}",
      "{\"albums\": [{\"id\": 1, \"dir\": \"/tmp\"}]}",
      std::string("\xff\xfe\0garbage", 10),
  };
  std::filesystem::create_directories(following_json().parent_path());
  for (const std::string& content : broken_files) {
    SCOPED_TRACE(content);
    std::ofstream(following_json(), std::ios::binary | std::ios::trunc) << content;
    const std::vector<std::vector<std::string>> commands = {
        {"follow", "3700002", "--dir", folder.string()}, {"unfollow", "3700002"}, {"following"},
        {"sync"}};
    for (const auto& command : commands) {
      SCOPED_TRACE(command[0]);
      const RunResult r = cli(command);
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find("cannot read " + following_json().string()), std::string::npos) << r.err;
      EXPECT_EQ(read_file(following_json()), content);
    }
  }
  EXPECT_EQ(audio_gets(), 0u);
}

TEST_F(FollowTest, ASecondSyncWhileOneRunsSaysSoAndExitsAtOnce) {
  const sim::SimAlbum& a = album(kWithoutCategory);
  sim.audio().set_faults(a.tracks[0].audio_path, {.rate_cap = 4000});
  ASSERT_EQ(follow(a.id).code, 0);
  ChildProcess first(LUMORAFM_CLI_PATH, with_platform({"sync"}));
  ASSERT_TRUE(first.started());
  ASSERT_TRUE(first.pump_until([&] { return sim.audio().bytes_sent(a.tracks[0].audio_path) > 0; }, 30s));

  const std::size_t listings = sim.mobile_log().snapshot().size();
  const RunResult second = cli({"sync"});
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_NE(second.out.find("another sync is running"), std::string::npos) << second.out;
  EXPECT_EQ(sim.mobile_log().snapshot().size(), listings);
  EXPECT_EQ(first.exit_code(), -1);  // still at work
  first.signal(SIGINT);
  ASSERT_TRUE(first.finish(10s));
  EXPECT_EQ(first.exit_code(), 130);
}

TEST_F(FollowTest, AnInterruptedSyncExits130AndTheNextFetchesNothingTwice) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  const sim::SimTrack& slow = a.tracks[1];
  sim.audio().set_faults(slow.audio_path, {.rate_cap = 8000});
  ASSERT_EQ(follow(a.id, {"--playlist"}).code, 0);
  ChildProcess child(LUMORAFM_CLI_PATH, with_platform({"sync"}));
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.pump_until(
      [&] { return sim.audio().bytes_sent(slow.audio_path) >= slow.size / 2; }, 30s));
  child.signal(SIGINT);
  ASSERT_TRUE(child.finish(10s));
  EXPECT_EQ(child.exit_code(), 130) << child.err();
  EXPECT_EQ(following()[0]["result"], "interrupted");
  EXPECT_EQ(following()[0]["tracks_held"], 1);
  EXPECT_EQ(lines_starting(read_file(album_dir(a.id) / "3700002.m3u8"), "#EXTINF:").size(), 1u);

  sim.audio().set_faults(slow.audio_path, {});
  sim.audio().clear_sent();
  const RunResult again = cli({"sync"});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_NE(again.out.find("done 19, skipped 1, failed 0, held 20/20"), std::string::npos)
      << again.out;
  EXPECT_EQ(sim.audio().bytes_sent(a.tracks[0].audio_path), 0u);
  const auto spans = sim.audio().sent(slow.audio_path);
  ASSERT_FALSE(spans.empty());
  for (const sim::SentSpan& span : spans) EXPECT_GT(span.start, 0u);
  for (const sim::SimTrack& t : a.tracks) EXPECT_EQ(file_in(a.id, t), sim.expected_sha256(t));
  EXPECT_EQ(lines_starting(read_file(album_dir(a.id) / "3700002.m3u8"), "#EXTINF:").size(), 20u);
}

// An album that cannot be listed is not followed: the first sync would
// only fail.
TEST_F(FollowTest, FollowRefusesAnAlbumThatCannotBeListed) {
  const RunResult none = cli({"following"});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err,
            "lumorafm-cli: no album is followed; add one with: lumorafm-cli follow ALBUM_ID --dir DIR\n");

  const RunResult unknown = follow(99999999);
  EXPECT_EQ(unknown.code, 2);
  EXPECT_EQ(unknown.err, "lumorafm-cli: cannot follow: album 99999999 has no tracks\n");
  const RunResult refused = run_program(
      LUMORAFM_CLI_PATH,
      {"--mobile-base", "http://127.0.0.1:" + std::to_string(free_loopback_port()), "follow",
       "3700002", "--dir", folder.string()});
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(refused.err, "lumorafm-cli: cannot follow: album 3700002 cannot be listed: connection refused\n");
  EXPECT_FALSE(std::filesystem::exists(following_json()));

  // A good one is listed once, its first page only.
  sim.mobile_log().clear();
  const RunResult good = follow(sim::albums::kFortyFiveTracks, {"-q"});
  EXPECT_EQ(good.code, 0) << good.err;
  EXPECT_EQ(good.out, "");
  EXPECT_EQ(sim.mobile_log().snapshot().size(), 2u);
  EXPECT_EQ(following().size(), 1u);
}

TEST_F(FollowTest, FollowKeepsTheOptionsSyncUsesAndFollowingShowsThem) {
  ASSERT_EQ(follow(kWithoutCategory, {"--tag", "--notify", "--limit-rate", "500K", "--exec", "/bin/true"}).code, 0);
  const RunResult listed = cli({"following"});
  EXPECT_EQ(listed.out, "3700005\t" + album_dir(kWithoutCategory).string() +
                            "\ttag,notify,limit-rate=500K,exec=/bin/true\tnever\tnever\t0\n");
  const nlohmann::json albums = following();
  EXPECT_EQ(albums[0]["limit_rate"], 512000);
  EXPECT_EQ(albums[0]["notify"], true);
  EXPECT_EQ(albums[0]["exec"], "/bin/true");
}

// A sync ended by SIGTERM (systemctl stop) or SIGHUP keeps its work and
// notes the album as interrupted, with the signal's exit status.
TEST_F(FollowTest, ASyncEndedByASignalNotesItAsInterrupted) {
  const sim::SimAlbum& a = album(kTwentyTracks);
  sim.audio().set_faults(a.tracks[1].audio_path, {.rate_cap = 8000});
  ASSERT_EQ(follow(a.id).code, 0);
  for (const int signal_number : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    sim.audio().clear_sent();
    ChildProcess child(LUMORAFM_CLI_PATH, with_platform({"sync"}));
    ASSERT_TRUE(child.started());
    child.pump_until([&] { return sim.audio().bytes_sent(a.tracks[1].audio_path) >= 10000; }, 30s);
    child.signal(signal_number);
    ASSERT_TRUE(child.finish(10s));
    EXPECT_EQ(child.exit_code(), 128 + signal_number) << child.err();
    const nlohmann::json albums = following();
    EXPECT_EQ(albums[0]["result"], "interrupted");
    EXPECT_TRUE(albums[0]["last_sync"].is_string());
    EXPECT_EQ(albums[0]["tracks_held"], 1);
  }
}

// An album that could not be listed this time still holds what it held.
TEST_F(FollowTest, AnAlbumThatCannotBeListedKeepsItsCountOfTracksHeld) {
  ASSERT_EQ(follow(kWithoutCategory).code, 0);
  ASSERT_EQ(cli({"sync"}).code, 0);
  EXPECT_EQ(following()[0]["tracks_held"], 3);
  sim.mobile_overrides().add({.needle = "albumId=3700005&", .status = 500, .body = "down"});
  const RunResult r = cli({"sync"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("album 3700005  album failed"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("album 3700005 cannot be listed: HTTP 500"), std::string::npos) << r.err;
  const nlohmann::json albums = following();
  EXPECT_EQ(albums[0]["result"], "album failed");
  EXPECT_EQ(albums[0]["tracks_held"], 3);
}

// The --exec program an album was followed with runs once per new file a
// sync brings; sync --exec runs in its place. A failing one is the album's
// result, not "album failed".
TEST_F(FollowTest, SyncRunsTheExecProgramForEachNewFile) {
  const sim::SimAlbum& a = album(kWithoutCategory);
  const std::filesystem::path calls = folder.parent_path() / "calls";
  const auto hook = [&](const std::string& name, int status) {
    const std::filesystem::path path = folder.parent_path() / name;
    std::ofstream(path) << "#!/bin/sh\nprintf '%s %s\\n' " << name << " \"$1\" >> " << calls
                        << "\nexit " << status << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path.string();
  };
  const auto called = [&](const std::string& name, const sim::SimTrack& t) {
    return name + " " + (album_dir(a.id) / file_name(t)).string() + "\n";
  };
  ASSERT_EQ(follow(a.id, {"--exec", hook("album-hook", 0)}).code, 0);
  const RunResult first = cli({"sync"});
  EXPECT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(read_file(calls), called("album-hook", a.tracks[0]) + called("album-hook", a.tracks[1]) +
                                  called("album-hook", a.tracks[2]));

  std::filesystem::remove(calls);
  std::filesystem::remove(album_dir(a.id) / file_name(a.tracks[1]));
  const RunResult second = cli({"sync", "--exec", hook("sync-hook", 3)});
  EXPECT_EQ(second.code, 1);
  EXPECT_EQ(read_file(calls), called("sync-hook", a.tracks[1]));
  EXPECT_NE(second.err.find("sync-hook exited with status 3"), std::string::npos) << second.err;
  EXPECT_NE(second.out.find("album 3700005  done 1, skipped 2, failed 0, held 3/3  (exec failed)"),
            std::string::npos)
      << second.out;
  EXPECT_EQ(following()[0]["result"], "exec failed");
}

// -q leaves a sync's notes out: the albums' lines and problems stay.
TEST_F(FollowTest, QuietSyncPrintsOnlyTheAlbumsLinesAndProblems) {
  const RunResult told = cli({"sync"});
  EXPECT_NE(told.out.find("no album is followed"), std::string::npos);
  const RunResult quiet = cli({"sync", "-q"});
  EXPECT_EQ(quiet.code, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
  ASSERT_EQ(follow(kWithoutCategory).code, 0);
  const RunResult synced = cli({"sync", "--quiet"});
  EXPECT_EQ(synced.code, 0);
  EXPECT_EQ(synced.out, "album 3700005  done 3, skipped 0, failed 0, held 3/3\n");
}

// sync holds an album to the limit it is given.
TEST_F(FollowTest, SyncHoldsTheAlbumToItsLimitRate) {
  const sim::SimTrack& track = album(kTwentyTracks).tracks[0];
  sim.mobile_overrides().add({.needle = "albumId=4400&",
                              .body = R"({"data":{"maxPageId":1,"list":[{"title":"one","playUrl64":")" +
                                      track.play_url + R"("}]}})"});
  ASSERT_EQ(follow(4400).code, 0);
  const std::uint64_t rate = track.size * 2 / 3;  // 1.5 s for the track
  const auto began = std::chrono::steady_clock::now();
  const RunResult r = cli({"sync", "--limit-rate", std::to_string(rate)});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_GE(seconds, 0.9 * static_cast<double>(track.size) / static_cast<double>(rate));
  EXPECT_EQ(sim::file_sha256((album_dir(4400) / "one.mp3").string()), sim.expected_sha256(track));
}

// following.json, its lock, sync's lock and the playlist are never opened
// or replaced through a link planted in their place.
TEST_F(FollowTest, LinksInPlaceOfTheProgramsFilesAreRefused) {
  const std::filesystem::path outside = folder.parent_path() / "outside";
  const std::filesystem::path missing = folder.parent_path() / "missing";
  const std::filesystem::path state = following_json().parent_path();
  std::filesystem::create_directories(state);
  std::ofstream(outside) << "mine\n";
  const auto plant = [](const std::filesystem::path& at, const std::filesystem::path& target) {
    std::filesystem::remove(at);
    std::filesystem::create_symlink(target, at);
  };
  struct Case {
    std::filesystem::path link;
    std::vector<std::string> command;
  };
  const std::vector<Case> cases = {
      {following_json(), {"follow", "3700005", "--dir", folder.string()}},
      {following_json(), {"following"}},
      {state / "following.json.lock", {"follow", "3700005", "--dir", folder.string()}},
      {state / "sync.lock", {"sync"}},
  };
  for (const Case& c : cases) {
    for (const auto& target : {outside, missing}) {
      SCOPED_TRACE(c.link.string() + " -> " + target.string() + ", " + c.command[0]);
      plant(c.link, target);
      const RunResult r = cli(c.command);
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find(c.link.string() + " is a symbolic link, which is refused"), std::string::npos)
          << r.err;
      std::filesystem::remove(c.link);
    }
  }
  EXPECT_EQ(read_file(outside), "mine\n");
  EXPECT_FALSE(std::filesystem::exists(missing));

  std::filesystem::create_directories(folder);
  plant(folder / "3700005.m3u8", outside);
  const RunResult playlist = cli({"get", "3700005", "--dir", folder.string(), "--playlist"});
  EXPECT_EQ(playlist.code, 1);
  EXPECT_NE(playlist.err.find("cannot write the playlist: " + (folder / "3700005.m3u8").string() +
                              " is a symbolic link, which is refused"),
            std::string::npos)
      << playlist.err;
  EXPECT_EQ(read_file(outside), "mine\n");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "3700005.m3u8"));
}

// follow writes the followed set before it says so: output that cannot
// be written still fails the run, after the work is kept.
TEST_F(FollowTest, FollowIntoAFullOutputSaysWriteError) {
  const RunResult r = run_program(LUMORAFM_CLI_PATH,
                                  with_platform({"follow", "3700005", "--dir", folder.string()}),
                                  {.output = ChildSetup::Output::kFile, .output_file = "/dev/full", .env = {}});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "lumorafm-cli: write error: No space left on device\n");
  EXPECT_EQ(following().size(), 1u);
}

// The man page's FILES section names every file the program leaves in an
// album's folder or in its own.
TEST_F(FollowTest, TheManPageNamesEveryFileTheProgramWrites) {
  const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
      text.replace(at, from.size(), to);
    return text;
  };
  std::vector<std::string> listed;  // as fnmatch(3) patterns
  bool in_files = false;
  std::istringstream page(read_file(LUMORA_SOURCE_DIR "/packaging/man/lumorafm-cli.1.in"));
  for (std::string line; std::getline(page, line);) {
    if (line.rfind(".SH", 0) == 0) in_files = line == ".SH FILES";
    if (!in_files || line.rfind(".I ", 0) != 0) continue;
    std::string pattern = replaced(line.substr(3), "\\-", "-");
    pattern = replaced(replaced(replaced(pattern, "XXXXXX", "??????"), "TITLE", "*"), "ALBUM", "*");
    pattern = replaced(pattern, "$XDG_CONFIG_HOME", config.string());
    if (pattern.rfind("DIR/", 0) == 0) pattern = album_dir(kWithoutCategory).string() + pattern.substr(3);
    listed.push_back(pattern);
  }
  ASSERT_GT(listed.size(), 8u);

  // Every command that writes, an interrupted track's working files among them.
  const sim::SimAlbum& a = album(kWithoutCategory);
  sim.audio().set_faults(a.tracks[2].audio_path, {.rate_cap = 8000});
  ASSERT_EQ(follow(a.id, {"--tag", "--playlist"}).code, 0);
  ChildProcess child(LUMORAFM_CLI_PATH, with_platform({"sync"}));
  ASSERT_TRUE(child.started());
  child.pump_until([&] { return sim.audio().bytes_sent(a.tracks[2].audio_path) >= 10000; }, 30s);
  child.signal(SIGTERM);
  ASSERT_TRUE(child.finish(10s));
  ASSERT_EQ(cli({"get", std::to_string(a.id), "--dir", album_dir(a.id).string(), "--tracks", "1",
                 "--tag", "--playlist"}).code, 0);

  std::size_t seen = 0;
  for (const auto& root : {config, album_dir(a.id)}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      ++seen;
      const std::string path = entry.path().string();
      EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [&](const std::string& pattern) {
        return ::fnmatch(pattern.c_str(), path.c_str(), FNM_PATHNAME) == 0;
      }))
          << path << " is not in the man page's FILES";
    }
  }
  EXPECT_GE(seen, 8u);  // mp3s, working file and record, archive, playlist, state and locks
}

}  // namespace
}  // namespace lumora::test
