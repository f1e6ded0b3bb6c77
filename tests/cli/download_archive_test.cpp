#include "lumora/cli/download_archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace lumora::cli {
namespace {

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumora-archive-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void touch(const std::string& name) { std::ofstream(dir + "/" + name) << "x"; }

  std::string dir;
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
