#include "lumora/queue/file_name.h"

#include <gtest/gtest.h>

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

TEST(TrackFilePath, StaysInsideTheFolder) {
  EXPECT_EQ(track_file_path("/tmp/dl/", "a"), "/tmp/dl/a.mp3");
  EXPECT_EQ(track_file_path("/tmp/dl", "a"), "/tmp/dl/a.mp3");
  EXPECT_EQ(track_file_path("/", "a"), "/a.mp3");
  EXPECT_EQ(track_file_path("/tmp/dl/", "../../etc/x"), "/tmp/dl/.._.._etc_x.mp3");
  EXPECT_EQ(track_file_path("/tmp/dl/", "\x80/x"), "/tmp/dl/\x80_x.mp3");
}

}  // namespace
}  // namespace lumora
