// The followed set's file format, the playlist's text and the atomic
// replace under them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lumora/cli/album_playlist.h"
#include "lumora/cli/atomic_file.h"
#include "lumora/cli/followed_albums.h"
#include "lumora/cli/sync_lock.h"
#include "lumora/test_support/temp_folder.h"

namespace lumora::cli {
namespace {

TEST(FollowedAlbums, WrittenTextReadsBackTheSame) {
  const std::vector<FollowedAlbum> albums = {
      {"3700002", "/home/me/书", true, false, true, 512000, "/usr/bin/mpc-add",
       "2026-12-09T14:00:00Z", "ok", 0, 20},
      {"1", "/tmp/a \"quoted\"", false, true, false, 0, "", "", "never", 0, 0}};
  const FollowedRead read = parse_followed(followed_text(albums));
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.albums.size(), 2u);
  EXPECT_EQ(read.albums[0].dir, "/home/me/书");
  EXPECT_TRUE(read.albums[0].tag);
  EXPECT_EQ(read.albums[0].tracks_held, 20);
  EXPECT_TRUE(read.albums[0].notify);
  EXPECT_EQ(read.albums[0].limit_rate, 512000);
  EXPECT_EQ(read.albums[0].exec, "/usr/bin/mpc-add");
  EXPECT_FALSE(read.albums[1].notify);
  EXPECT_EQ(read.albums[1].dir, "/tmp/a \"quoted\"");
  EXPECT_TRUE(read.albums[1].playlist);
  EXPECT_EQ(read.albums[1].last_sync, "");
}

TEST(FollowedAlbums, FilesThatCannotBeUsedSayWhy) {
  const struct {
    const char* text;
    const char* why;
  } cases[] = {
      {"", "parse error"},
      {"[]", "no \"albums\" array"},
      {R"({"albums":[1]})", "an album is not an object"},
      {R"({"albums":[{"dir":"/a"}]})", "key 'id' not found"},
      {R"({"albums":[{"id":"1a","dir":"/a"}]})", "album id is not a number: 1a"},
      {R"({"albums":[{"id":"1","dir":"a"}]})", "folder is not absolute: a"},
      {R"({"albums":[{"id":"1","dir":"/a","tag":"yes"}]})", "type must be boolean"},
      {R"({"albums":[{"id":"1","dir":"/a","limit_rate":-5}]})", "limit_rate is not a rate: -5"},
      {R"({"albums":[{"id":"1","dir":"/a","limit_rate":4294967296}]})", "limit_rate is not a rate"},
      {R"({"albums":[{"id":"1","dir":"/a"},{"id":"1","dir":"/b"}]})", "album 1 is there twice"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const FollowedRead read = parse_followed(c.text);
    EXPECT_NE(read.error.find(c.why), std::string::npos) << read.error;
    EXPECT_TRUE(read.albums.empty());
  }
}

TEST(AlbumPlaylist, EntriesStayTwoLinesAndNamesNeverLookLikeComments) {
  EXPECT_EQ(playlist_text({}), "#EXTM3U\n");
  EXPECT_EQ(playlist_text({{"第1集", "第1集.mp3"}, {"a\r\nb", "#2 x.mp3"}}),
            "#EXTM3U\n#EXTINF:-1,第1集\n第1集.mp3\n#EXTINF:-1,a  b\n./#2 x.mp3\n");
  EXPECT_EQ(playlist_file_name("3700002", ""), "3700002.m3u8");
  EXPECT_EQ(playlist_file_name("1", "a/b"), "a_b.m3u8");
}

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryBehind) {
  const test::TempFolder temp("lumora-atomic");
  const std::filesystem::path& folder = temp.path();
  const std::string path = (folder / "f.json").string();
  EXPECT_EQ(replace_file_atomically(path, "one"), "");
  EXPECT_EQ(replace_file_atomically(path, "two, longer"), "");
  std::string content;
  ASSERT_TRUE(read_whole_file(path, content));
  EXPECT_EQ(content, "two, longer");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  EXPECT_NE(replace_file_atomically((folder / "missing" / "f").string(), "x"), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST(SyncLock, IsHeldByOneHolderAtATime) {
  const test::TempFolder temp("lumora-lock");
  const std::string folder = temp.string();
  {
    const SyncLock first(folder);
    ASSERT_TRUE(first.taken()) << first.error();
    // flock locks belong to the open file, so a second open in the same
    // process meets the first one as another process would.
    const SyncLock second(folder);
    EXPECT_FALSE(second.taken());
    EXPECT_TRUE(second.busy());
  }
  const SyncLock after(folder);
  EXPECT_TRUE(after.taken());
}

}  // namespace
}  // namespace lumora::cli
