// get when the system says no: folders that cannot take the files, a disk
// that fills while tags are written, links planted where the program keeps
// its files, signals that end a run, and the words each of them is told in.
#include <signal.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_fixture.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using sim::albums::kTwentyTracks;

// Names in `dir` that start with ".", other than the archive.
std::vector<std::string> hidden_leftovers(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.' && name != ".lumorafm-archive") names.push_back(name);
  }
  return names;
}

// The program with `args`, its files limited to `blocks` of 512 bytes: a
// write past that fails as on a full disk (File too large).
RunResult cli_with_file_limit(const std::vector<std::string>& args, std::uint64_t blocks) {
  const std::string command =
      "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec \"$0\" \"$@\"";
  std::vector<std::string> shell_args = {"-c", command, LUMORAFM_CLI_PATH};
  shell_args.insert(shell_args.end(), args.begin(), args.end());
  return run_program("/bin/sh", shell_args);
}

// A folder that cannot take the files is found before anything is listed
// or fetched, and the system's reason is given.
TEST_F(CliTest, AFolderThatCannotBeUsedSaysWhyBeforeAnyRequest) {
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "afile") << "x";
  struct Case {
    std::string dir;
    const char* reason;
  };
  const Case cases[] = {
      {(folder / "afile").string(), "Not a directory"},
      {(folder / "afile" / "sub").string(), "Not a directory"},
      {"/sys/kernel", "Permission denied"},  // refused to root too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    const RunResult r = cli({"get", std::to_string(kTwentyTracks), "--dir", c.dir});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "lumorafm-cli: cannot use folder " + c.dir + ": " + c.reason + "\n");
  }
  EXPECT_TRUE(sim.mobile_log().snapshot().empty());
  EXPECT_EQ(audio_gets(), 0u);
}

// The archive is never written through a link planted in its place, nor is
// a file created where a dangling one points.
TEST_F(CliTest, AnArchiveThatIsALinkIsRefused) {
  const std::filesystem::path outside = folder.parent_path() / "outside";
  std::filesystem::create_directories(folder);
  std::ofstream(outside) << "mine\n";
  for (const bool dangling : {false, true}) {
    SCOPED_TRACE(dangling);
    const std::filesystem::path target = dangling ? folder.parent_path() / "missing" : outside;
    std::filesystem::remove(folder / ".lumorafm-archive");
    std::filesystem::create_symlink(target, folder / ".lumorafm-archive");
    const RunResult r = get(kTwentyTracks, {"--tracks", "1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "lumorafm-cli: " + (folder / ".lumorafm-archive").string() +
                         " is a symbolic link, which is refused\n");
  }
  EXPECT_EQ(read_file(outside), "mine\n");
  EXPECT_FALSE(std::filesystem::exists(folder.parent_path() / "missing"));
  EXPECT_EQ(audio_gets(), 0u);
}

// Tags go into a copy that replaces the track only when whole: when the
// copy cannot be written (here the file size limit stands in for a full
// disk), the track stays exactly as downloaded, is reported with the
// system's reason, and a later run with --tag tags it.
TEST_F(CliTest, TagsThatCannotBeWrittenLeaveTheDownloadWhole) {
  const sim::SimTrack& track = album(kTwentyTracks).tracks[0];
  const std::uint64_t blocks = (track.size + 511) / 512;  // the track fits, track + tag do not
  std::filesystem::create_directories(folder);
  const std::string not_written = "lumorafm-cli: track 1/20 " + file_name(track) +
                                  ": tags not written: File too large (the untagged file is kept)\n";
  const auto limited = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"get", std::to_string(kTwentyTracks), "--dir",
                                     folder.string(), "--tracks", "1", "--tag"};
    args.insert(args.end(), extra.begin(), extra.end());
    return cli_with_file_limit(with_platform(args), blocks);
  };
  const RunResult r = limited({});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, not_written);
  EXPECT_NE(r.out.find("done 0, skipped 0, failed 1 - "), std::string::npos) << r.out;
  EXPECT_EQ(file_sha256(file_name(track)), sim.expected_sha256(track));
  EXPECT_EQ(hidden_leftovers(folder), std::vector<std::string>{});
  EXPECT_NE(read_file(folder / ".lumorafm-archive")
                .find('\t' + std::to_string(track.size) + '\t' + file_name(track) + '\n'),
            std::string::npos);

  // Skipped but still not taggable: a failure, not a skip.
  const std::size_t gets = audio_gets();
  const RunResult still = limited({"--skip-existing"});
  EXPECT_EQ(still.code, 1);
  EXPECT_EQ(still.err, not_written);
  EXPECT_NE(still.out.find("done 0, skipped 0, failed 1 - "), std::string::npos) << still.out;
  EXPECT_EQ(file_sha256(file_name(track)), sim.expected_sha256(track));
  EXPECT_EQ(hidden_leftovers(folder), std::vector<std::string>{});

  const RunResult again = get(kTwentyTracks, {"--tracks", "1", "--tag", "--skip-existing"});
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(audio_gets(), gets);
  const std::string tagged = read_file(folder / file_name(track));
  EXPECT_EQ(tagged.rfind("ID3", 0), 0u);
  // The audio after the tag is the download, byte for byte.
  const std::string audio = tagged.substr(tagged.size() - track.size);
  EXPECT_EQ(sim::sha256_hex({reinterpret_cast<const std::uint8_t*>(audio.data()), audio.size()}),
            sim.expected_sha256(track));
  const RunResult third = get(kTwentyTracks, {"--tracks", "1", "--tag", "--skip-existing"});
  EXPECT_NE(third.out.find("done 0, skipped 1, failed 0 - "), std::string::npos) << third.out;
  EXPECT_EQ(read_file(folder / file_name(track)), tagged);
}

// A disk that fills while a track arrives fails that track with the
// system's words; nothing is left under the track's own name.
TEST_F(CliTest, ADiskThatFillsDuringADownloadFailsTheTrack) {
  const sim::SimTrack& track = album(kTwentyTracks).tracks[0];
  std::filesystem::create_directories(folder);
  const RunResult r = cli_with_file_limit(
      with_platform({"get", std::to_string(kTwentyTracks), "--dir", folder.string(), "--tracks", "1"}),
      track.size / 512 / 2);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(lines_starting(r.err, "lumorafm-cli: track 1/20 ").size(), 1u) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("done 0, skipped 0, failed 1 - "), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(folder / file_name(track)));
  EXPECT_EQ(read_file(folder / ".lumorafm-archive").find(file_name(track)), std::string::npos);
}

// A track that comes with a tag of its own is not taken for one we tagged:
// once its tags could not be written, a later run still writes ours.
TEST_F(CliTest, AServersOwnTagIsNotTakenForOurs) {
  std::string frames;
  for (int i = 0; i < 40; ++i) frames += std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\x55');
  // ID3v2.3 with one TIT2 frame and no padding: smaller than the tag we write.
  const std::string title_frame = std::string("TIT2\0\0\0\x07\0\0\0", 11) + "server";
  const std::string body = std::string("ID3\x03\0\0\0\0\0", 9) +
                           static_cast<char>(title_frame.size()) + title_frame + frames;
  LoopbackServer server([&](const CapturedRequest& request) -> std::optional<std::string> {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    return request.request_line.rfind("HEAD", 0) == 0 ? head : head + body;
  });
  sim.mobile_overrides().add(
      {.needle = "albumId=4500&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"mine","playUrl64":")" +
               server.url("/a.mp3") + R"("}]}})"});
  std::filesystem::create_directories(folder);
  const RunResult first = cli_with_file_limit(
      with_platform({"get", "4500", "--dir", folder.string(), "--tag"}), (body.size() + 511) / 512);
  EXPECT_EQ(first.code, 1);
  EXPECT_NE(first.err.find("tags not written: File too large"), std::string::npos) << first.err;
  ASSERT_EQ(read_file(folder / "mine.mp3"), body);

  const RunResult second = cli({"get", "4500", "--dir", folder.string(), "--tag", "--skip-existing"});
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_NE(second.out.find("done 0, skipped 1, failed 0 - "), std::string::npos) << second.out;
  TagLib::MPEG::File file((folder / "mine.mp3").c_str());
  ASSERT_NE(file.ID3v2Tag(), nullptr);
  EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "mine");
  EXPECT_EQ(file.ID3v2Tag()->track(), 1u);
  const std::string tagged = read_file(folder / "mine.mp3");
  EXPECT_EQ(tagged.substr(tagged.size() - frames.size()), frames);
}

// systemctl stop sends SIGTERM, a closed terminal SIGHUP: each ends a run as
// Ctrl+C does, work kept, with the signal's own exit status.
TEST_F(CliTest, TermAndHangupEndARunAsCtrlCDoes) {
  const sim::SimTrack& track = album(kTwentyTracks).tracks[0];
  sim.audio().set_faults(track.audio_path, {.rate_cap = 8000});
  for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal_number);
    std::filesystem::remove_all(folder);
    sim.audio().clear_sent();
    ChildProcess child(LUMORAFM_CLI_PATH, with_platform({"get", std::to_string(kTwentyTracks),
                                                         "--dir", folder.string(), "--tracks", "1-3"}));
    ASSERT_TRUE(child.started());
    child.pump_until([&] { return sim.audio().bytes_sent(track.audio_path) >= 20000; }, 30s);
    child.signal(signal_number);
    ASSERT_TRUE(child.finish(10s));
    EXPECT_EQ(child.exit_code(), 128 + signal_number) << child.err();
    EXPECT_NE(child.out().find("done 0, skipped 0, failed 0, not fetched 3 - "), std::string::npos)
        << child.out();
    EXPECT_TRUE(std::filesystem::exists(folder / (file_name(track) + ".part")));
  }
}

}  // namespace
}  // namespace lumora::test
