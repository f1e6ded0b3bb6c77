#include "lumora/download/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lumora/test_support/temp_folder.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

TEST(NumberedName, Table) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"/d/a.mp3", "/d/a(1).mp3"},
      {"/d/a(1).mp3", "/d/a(2).mp3"},
      {"/d/a(9).mp3", "/d/a(10).mp3"},
      {"/d/a(99).mp3", "/d/a(100).mp3"},
      {"/d/a(100).mp3", "/d/a(100)(1).mp3"},  // three digits are not a number here
      {"/d/vol.1.mp3", "/d/vol(1).1.mp3"},
      {"/d/vol(1).1.mp3", "/d/vol(2).1.mp3"},
      {"/d/noext", "/d/noext(1)"},
      {"/d.x/a", "/d.x/a(1)"},  // a dot in the folder is not the name's
      {"a.mp3", "a(1).mp3"},
      {"/d/a().mp3", "/d/a()(1).mp3"},
  };
  for (const Case& c : cases) EXPECT_EQ(numbered_name(c.in), c.out) << c.in;
}

class LocalFileTest : public ::testing::Test {
 protected:
  test::TempFolder temp_{"lumora-file"};
  const std::string dir_ = temp_.string();
};

TEST_F(LocalFileTest, CreatesNewNeverOverwrites) {
  const std::string path = dir_ + "/a.mp3";
  std::ofstream(path) << "keep";
  LocalFile f;
  EXPECT_EQ(f.create(path, 10), CreateResult::kExists);
  std::ifstream in(path);
  std::string kept;
  in >> kept;
  EXPECT_EQ(kept, "keep");
  EXPECT_EQ(f.create(dir_ + "/missing/a.mp3", 10), CreateResult::kFailed);
}

TEST_F(LocalFileTest, GbkNameBecomesUtf8OnDisk) {
  const Text gbk_path = utf8_to_gbk(dir_ + "/歌曲.mp3");
  LocalFile f;
  ASSERT_EQ(f.create(gbk_path, 3), CreateResult::kCreated);
  f.write(0, "abc", 3);
  EXPECT_TRUE(f.close());
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::u8path(dir_ + "/歌曲.mp3")), 3u);
  std::int64_t size = 0;
  EXPECT_TRUE(path_exists(gbk_path, &size));
  EXPECT_EQ(size, 3);
}

TEST_F(LocalFileTest, RemoveDeletesOnlyWhatItCreated) {
  LocalFile f;
  const std::string path = dir_ + "/b.mp3";
  ASSERT_EQ(f.create(path, 100), CreateResult::kCreated);
  f.remove();
  EXPECT_FALSE(std::filesystem::exists(path));
  std::ofstream(path) << "other";
  LocalFile g;
  EXPECT_EQ(g.create(path, 10), CreateResult::kExists);
  g.remove();
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(LocalFileTest, WritesPastFourGibibytes) {
  // Reserved space is real here, but the pages written are few.
  const std::int64_t size = (std::int64_t{1} << 32) + 4096;
  const std::string path = dir_ + "/big.bin";
  LocalFile f;
  ASSERT_EQ(f.create(path, size), CreateResult::kCreated);
  f.write(size - 5, "tail!", 5);
  f.write((std::int64_t{1} << 32) - 2, "edge", 4);
  ASSERT_TRUE(f.close());
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char tail[5] = {}, edge[4] = {};
  EXPECT_EQ(::pread(fd, tail, 5, size - 5), 5);
  EXPECT_EQ(::pread(fd, edge, 4, (std::int64_t{1} << 32) - 2), 4);
  ::close(fd);
  EXPECT_EQ(std::string(tail, 5), "tail!");
  EXPECT_EQ(std::string(edge, 4), "edge");
  EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(path)), size);
}

TEST_F(LocalFileTest, SpaceThatCannotBeReservedFailsAtCreation) {
  // Far more than any disk here: creation fails instead of a later SIGBUS,
  // and nothing is left behind.
  LocalFile f;
  EXPECT_EQ(f.create(dir_ + "/huge.bin", std::int64_t{1} << 50), CreateResult::kFailed);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/huge.bin"));
}

// A write the system refuses keeps the system's reason; one outside the
// file's size has none.
TEST_F(LocalFileTest, AFailedWriteKeepsTheSystemsReason) {
  LocalFile f;
  ASSERT_TRUE(f.adopt(::open("/dev/full", O_WRONLY | O_CLOEXEC), "/dev/full", 100));
  EXPECT_EQ(f.error(), 0);
  EXPECT_FALSE(f.write(200, "x", 1));
  EXPECT_EQ(f.error(), 0);
  EXPECT_FALSE(f.write(0, "abc", 3));
  EXPECT_EQ(f.error(), ENOSPC);
}

}  // namespace
}  // namespace lumora
