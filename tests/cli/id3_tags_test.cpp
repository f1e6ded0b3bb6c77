// Tags written through a tagged copy: the audio after the tag is the
// file's own, an old tag is replaced rather than kept before the new one,
// and the file keeps its permissions.
#include "lumora/cli/id3_tags.h"

#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <filesystem>
#include <fstream>

#include "lumora/test_support/temp_folder.h"

namespace lumora::cli {
namespace {

class Id3Tags : public ::testing::Test {
 protected:
  std::string read(const std::string& name) const { return test::read_file(dir / name); }
  test::TempFolder temp{"lumora-tags"};
  const std::filesystem::path dir = temp.path();
};

// Bytes that read as MPEG audio frames to TagLib (frame sync, layer III).
std::string audio(std::size_t frames) {
  std::string frame(417, '\x55');
  frame.replace(0, 4, std::string("\xFF\xFB\x90\x00", 4));
  std::string out;
  for (std::size_t i = 0; i < frames; ++i) out += frame;
  return out;
}

TEST_F(Id3Tags, RetaggingReplacesTheTagAndKeepsTheAudioAndPermissions) {
  const std::string sound = audio(40);
  std::ofstream(dir / "a.mp3", std::ios::binary) << sound;
  std::filesystem::permissions(dir / "a.mp3", std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_write |
                                                  std::filesystem::perms::group_read);
  const std::string path = (dir / "a.mp3").string();
  for (const char* title : {"第1集", "second title"}) {
    SCOPED_TRACE(title);
    const TrackTags tags{title, 7, "专辑", "听书人"};
    // Untagged at first, then tagged with another title: neither is ours.
    EXPECT_FALSE(carries_tags(path, tags));
    ASSERT_EQ(write_id3_tags(path, tags), "");
    EXPECT_TRUE(carries_tags(path, tags));
    EXPECT_FALSE(carries_tags(path, {title, 8, "专辑", "听书人"}));
    const std::string tagged = read("a.mp3");
    ASSERT_GT(tagged.size(), sound.size());
    EXPECT_EQ(tagged.substr(tagged.size() - sound.size()), sound);
    TagLib::MPEG::File file(path.c_str());
    ASSERT_NE(file.ID3v2Tag(), nullptr);
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), title);
    EXPECT_EQ(file.ID3v2Tag()->track(), 7u);
    // One tag: an old one is not left behind the new.
    const std::size_t tag_size = file.ID3v2Tag()->header()->completeTagSize();
    EXPECT_EQ(tagged.size(), tag_size + sound.size());
  }
  EXPECT_EQ(std::filesystem::status(dir / "a.mp3").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(Id3Tags, AFileThatCannotBeTaggedSaysWhyAndStaysAsItWas) {
  EXPECT_EQ(write_id3_tags((dir / "none.mp3").string(), {"t", 1, "", ""}), "No such file or directory");
  std::filesystem::create_symlink(dir / "elsewhere.mp3", dir / "link.mp3");
  std::ofstream(dir / "elsewhere.mp3", std::ios::binary) << audio(10);
  EXPECT_NE(write_id3_tags((dir / "link.mp3").string(), {"t", 1, "", ""}), "");
  EXPECT_EQ(read("elsewhere.mp3"), audio(10));
}

}  // namespace
}  // namespace lumora::cli
