#include "lumora/road/file_name.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "lumora/download/side_files.h"
#include "lumora/test_support/temp_folder.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

TEST(SafeFileName, ReplacesWhatCannotStandInAName) {
  const std::pair<Text, Text> cases[] = {
      {"plain", "plain"},
      {"a/b\\c", "a_b_c"},
      {"../x", ".._x"},
      {"..", "__"},
      {".", "_"},
      {"q?*:<>|\"", "q_______"},
      {"tab\tnl\n", "tab_nl_"},
      {"del\x7F", "del_"},
      {"", ""},
  };
  for (const auto& [title, name] : cases) EXPECT_EQ(safe_file_name(title), name) << title;
}

TEST(SafeFileName, KeepsGbkCharactersWhole) {
  // 0x5C ("\") as a GBK trail byte belongs to its character: "\x95\x5C".
  EXPECT_EQ(safe_file_name("\x95\x5C"), "\x95\x5C");
  EXPECT_EQ(safe_file_name(gbk(u8"心理罪/第1集")), gbk(u8"心理罪_第1集"));
  EXPECT_EQ(safe_file_name("a\xD6"), "a_");  // a lone lead byte at the end
}

TEST(SafeFileName, PairsOnlyOnAValidLeadAndTrail) {
  // 0x80 is the euro sign on its own; it never leads a pair.
  const Text euro = "\x80";
  const std::pair<Text, Text> cases[] = {
      {euro + "/x", euro + "_x"},
      {euro + euro + euro + ":" + euro, euro + euro + euro + "_" + euro},
      {euro + "\\", euro + "_"},
      {"\xD6/", "__"},         // "/" is no trail byte
      {"\xD6\x7F", "__"},     // nor is DEL
      {"\xD6\xFF", "__"},     // nor 0xFF
      {"\xFF\xD6\xD0", "_\xD6\xD0"},
      {"\x81\x40", "\x81\x40"},  // the lowest pair
      {"\xFE\xFE", "\xFE\xFE"},  // the highest
  };
  for (const auto& [title, name] : cases) EXPECT_EQ(safe_file_name(title), name) << title;
}

// Bytes of the name's UTF-8 form, the encoding the file system gets.
std::size_t utf8_size(const Text& gbk_text) { return gbk_to_utf8(gbk_text).size(); }

// A title is cut, never split inside a character, so that the name with the
// numbering's "(99)", ".mp3" and the longest side-file suffix fits in 255 bytes.
constexpr std::size_t kRoom = 255 - 4 - 4 - kLongestSideSuffix;

TEST(SafeFileName, LongTitlesFitTheNameLimit) {
  const Text zhong = gbk(u8"中");  // 2 bytes in GBK, 3 in UTF-8
  const Text euro = "\x80";       // 1 byte in GBK, 3 in UTF-8
  auto repeat = [](const Text& piece, std::size_t n) {
    Text out;
    for (std::size_t i = 0; i < n; ++i) out += piece;
    return out;
  };
  const struct {
    const char* what;
    Text title;
    Text name;
  } cases[] = {
      {"90 Chinese characters", repeat(zhong, 90), repeat(zhong, kRoom / 3)},
      {"100 euro signs", repeat(euro, 100), repeat(euro, kRoom / 3)},
      {"ASCII fills the room", repeat("a", 300), repeat("a", kRoom)},
      {"a character that just fits", repeat("a", kRoom - 3) + zhong + "b",
       repeat("a", kRoom - 3) + zhong},
      {"a character one byte over", repeat("a", kRoom - 2) + zhong, repeat("a", kRoom - 2)},
      {"a character two bytes over", repeat("a", kRoom - 1) + zhong + "b",
       repeat("a", kRoom - 1)},
      {"replaced bytes count too", repeat("/", 300), repeat("_", kRoom)},
      {"dots cut, then made safe", repeat(".", 300), repeat("_", kRoom)},
      {"at the room, kept whole", repeat("a", kRoom), repeat("a", kRoom)},
  };
  for (const auto& c : cases) {
    const Text name = safe_file_name(c.title);
    EXPECT_EQ(name, c.name) << c.what;
    EXPECT_LE(utf8_size(name), kRoom) << c.what;
  }
}

TEST(SafeFileName, TheLongestNameIsOneTheFileSystemTakes) {
  namespace fs = std::filesystem;
  const test::TempFolder temp("lumora-name");
  const fs::path& folder = temp.path();
  Text mixed;
  for (int i = 0; i < 90; ++i) mixed += gbk(u8"长") + "a";
  for (const Text& title : {Text(300, 'a'), mixed}) {
    const Text longest = safe_file_name(title) + "(99).mp3" + Text(kLongestSideSuffix, 'x');
    const fs::path file = folder / gbk_to_utf8(longest);
    const int fd = ::open(file.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    EXPECT_GE(fd, 0) << utf8_size(longest) << " bytes";
    if (fd >= 0) ::close(fd);
  }
}

TEST(TrackFilePath, StaysInsideTheFolder) {
  EXPECT_EQ(track_file_path("/tmp/dl/", "a"), "/tmp/dl/a.mp3");
  EXPECT_EQ(track_file_path("/tmp/dl", "a"), "/tmp/dl/a.mp3");
  EXPECT_EQ(track_file_path("/", "a"), "/a.mp3");
  EXPECT_EQ(track_file_path("/tmp/dl/", "../../etc/x"), "/tmp/dl/.._.._etc_x.mp3");
  EXPECT_EQ(track_file_path("/tmp/dl/", "\x80/x"), "/tmp/dl/\x80_x.mp3");
}

}  // namespace
}  // namespace lumora
