#include "lumora/cli/download_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lumora/test_support/temp_folder.h"

namespace lumora::cli {
namespace {

class ArchiveTest : public ::testing::Test {
 protected:
  test::TempFolder temp{"lumora-archive"};
  void touch(const std::string& name) { std::ofstream(dir + "/" + name) << "x"; }

  const std::string dir = temp.string();
};

TEST_F(ArchiveTest, ListedTracksCountOnlyWhileTheirFileIsThere) {
  touch("a.mp3");
  touch("b(1).mp3");
  {
    DownloadArchive archive(dir);
    EXPECT_TRUE(archive.add("http://h/1.mp3", "a.mp3", 1));
    EXPECT_TRUE(archive.add("http://h/2.mp3", "b.mp3", 1));
    EXPECT_TRUE(archive.add("http://h/2.mp3", "b(1).mp3", 1));
    EXPECT_TRUE(archive.add("http://h/3.mp3", "c.mp3", 1));
  }
  DownloadArchive reread(dir);
  std::string name;
  EXPECT_TRUE(reread.has("http://h/1.mp3", &name));
  EXPECT_EQ(name, "a.mp3");
  EXPECT_TRUE(reread.has("http://h/2.mp3", &name));  // the numbered copy is still there
  EXPECT_EQ(name, "b(1).mp3");
  EXPECT_FALSE(reread.has("http://h/3.mp3"));  // deleted by the user
  EXPECT_FALSE(reread.has("http://h/4.mp3"));
}

TEST_F(ArchiveTest, LinesThatBreakTheFormatAreNeitherWrittenNorRead) {
  touch("a.mp3");
  DownloadArchive archive(dir);
  EXPECT_FALSE(archive.add("http://h/x\ny", "a.mp3", 1));
  EXPECT_FALSE(archive.add("http://h/1.mp3", "../a.mp3", 1));
  EXPECT_FALSE(archive.add("http://h/1.mp3", "a\t.mp3", 1));
  EXPECT_FALSE(archive.add("", "a.mp3", 1));
  {
    std::ofstream out(dir + "/" + kArchiveName, std::ios::app);
    out << "no tab here\n" << "http://h/5.mp3\t../a.mp3\n" << "http://h/6.mp3\t\n"
        << "http://h/7.mp3\ta.mp3";  // a last line without its line break still counts
  }
  DownloadArchive reread(dir);
  EXPECT_FALSE(reread.has("http://h/5.mp3"));
  EXPECT_FALSE(reread.has("http://h/6.mp3"));
  EXPECT_TRUE(reread.has("http://h/7.mp3"));
}

TEST_F(ArchiveTest, UnwritableArchiveIsReported) {
  std::filesystem::create_directory(dir + "/" + kArchiveName);  // a folder in its place
  DownloadArchive archive(dir);
  touch("a.mp3");
  EXPECT_FALSE(archive.add("http://h/1.mp3", "a.mp3", 1));
  EXPECT_FALSE(archive.has("http://h/1.mp3"));
}

}  // namespace
}  // namespace lumora::cli

namespace lumora::cli {
namespace {

TEST(ArchiveKey, TrackIdsWhenGivenElseTheAddressWithoutQuery) {
  struct Case {
    const char* track_id;
    const char* address;
    const char* key;
  };
  const Case cases[] = {
      {"7001", "http://h:1/a.mp3?token=1", "album 7 track 7001"},
      {"", "http://h:1/a.mp3?token=1", "album 7 address http://h:1/a.mp3"},
      {"", "http://h:1/a.mp3#part", "album 7 address http://h:1/a.mp3"},
      {"", "http://h:1/a.mp3", "album 7 address http://h:1/a.mp3"},
  };
  for (const Case& c : cases) EXPECT_EQ(archive_key("7", c.track_id, c.address), c.key);
}

class FirstFormat : public ::testing::Test {
 protected:
  test::TempFolder temp{"lumora-archive"};
  const std::string dir = temp.string();
};

TEST_F(FirstFormat, LinesAreReadAndNewLinesKeepTheirSizes) {
  std::ofstream(dir + "/a.mp3") << "x";
  std::ofstream(dir + "/b.mp3") << "x";
  // As the first format wrote it, the last line without its line break.
  std::ofstream(dir + "/" + kArchiveName) << "http://h/1.mp3?t=9\ta.mp3\nhttp://h/2.mp3\tb.mp3";
  {
    DownloadArchive archive(dir);
    const auto old = archive.find("http://h/2.mp3");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->file_name, "b.mp3");
    EXPECT_EQ(old->size, -1);
    EXPECT_TRUE(archive.add("album 7 track 1", "a.mp3", 20480));
    EXPECT_FALSE(archive.add("album 7 track 2", "b.mp3", -1));
  }
  DownloadArchive reread(dir);
  EXPECT_TRUE(reread.has("http://h/1.mp3?t=9"));
  EXPECT_TRUE(reread.has("http://h/2.mp3"));  // not glued to the line after it
  const auto entry = reread.find("album 7 track 1");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->file_name, "a.mp3");
  EXPECT_EQ(entry->size, 20480);
  EXPECT_FALSE(reread.find("album 7 track 2"));
}

}  // namespace
}  // namespace lumora::cli
