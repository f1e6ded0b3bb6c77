#include "lumora/text/text.h"

#include <gtest/gtest.h>

#include "lumora/text/code_page.h"

namespace lumora {
namespace {

// 中 is D6 D0 in GBK; "\xB0\x41" is a GBK character whose trail byte is "A".
const Text kTrailA = "\xB0\x41";

TEST(FindText, NeverMatchesOnATrailByte) {
  EXPECT_EQ(find_text(kTrailA, "A"), 0u);
  EXPECT_EQ(find_text(kTrailA + "A", "A"), 3u);
  EXPECT_EQ(find_text("x" + kTrailA + "A", "A", 3), 4u);  // start on the trail byte
}

TEST(FindText, PositionsAndCase) {
  EXPECT_EQ(find_text("Accept: */*", "Accept:"), 1u);
  EXPECT_EQ(find_text("abcabc", "c", 4), 6u);
  EXPECT_EQ(find_text("abc", "c", 0), 3u);  // below 1 counts as 1
  EXPECT_EQ(find_text("abc", "C"), 0u);
  EXPECT_EQ(find_text("abc", "C", 1, true), 3u);
  EXPECT_EQ(find_text("abc", ""), 0u);
  EXPECT_EQ(find_text("ab", "abc"), 0u);
  EXPECT_EQ(find_text("abc", "c", 99), 0u);
  EXPECT_EQ(find_text(gbk(u8"文件中文"), gbk(u8"中")), 5u);
}

TEST(FindText, StartOutsideTheText) {
  // Below 1 counts as 1, however far below; past the end finds nothing at once.
  const struct {
    std::int64_t start;
    std::size_t found;
  } cases[] = {{-5, 3},  {INT64_MIN, 3}, {1, 3}, {3, 3}, {4, 0},
               {5, 0},   {INT64_MAX, 0}};
  for (const auto& c : cases) EXPECT_EQ(find_text("abc", "c", c.start), c.found) << c.start;
}

TEST(TextParts, CountPlainBytes) {
  EXPECT_EQ(text_left("abcdef", 2), "ab");
  EXPECT_EQ(text_left("ab", 9), "ab");
  EXPECT_EQ(text_right("abcdef", 2), "ef");
  EXPECT_EQ(text_right("ab", 9), "ab");
  EXPECT_EQ(text_mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(text_mid("abcdef", 5, 9), "ef");
  EXPECT_EQ(text_mid("abcdef", 7, 1), "");
  EXPECT_EQ(text_left(gbk(u8"中"), 1), "\xD6");
}

TEST(Spaces, AsciiAndFullWidth) {
  const Text full = "\xA1\xA1";
  EXPECT_EQ(trim_spaces(full + " a b " + full), "a b");
  EXPECT_EQ(trim_spaces("\ta\n"), "\ta\n");  // tabs and breaks are not spaces
  EXPECT_EQ(trim_spaces(full + full), "");
  EXPECT_EQ(remove_spaces("a b" + full + "c"), "abc");
  // A trail byte 0xA1 followed by a lead 0xA1 is not a full-width space.
  EXPECT_EQ(remove_spaces("\xB0\xA1\xA1\x41"), "\xB0\xA1\xA1\x41");
}

TEST(SplitText, PiecesAndRest) {
  EXPECT_EQ(split_text("", ";"), TextList{});
  EXPECT_EQ(split_text("a;b", ";"), (TextList{"a", "b"}));
  EXPECT_EQ(split_text("a;;b;", ";"), (TextList{"a", "", "b"}));
  EXPECT_EQ(split_text(";", ";"), (TextList{""}));
  EXPECT_EQ(split_text("a\r\nb\r\n", "\r\n"), (TextList{"a", "b"}));
}

TEST(ReplaceAll, CharacterAware) {
  EXPECT_EQ(replace_all("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(replace_all(kTrailA + "A", "A", "z"), kTrailA + "z");
  EXPECT_EQ(replace_all("Set-Cookie:a", "set-cookie:", "", true), "a");
}

TEST(TextOfBytes, StopsAtZero) {
  EXPECT_EQ(text_of_bytes(ByteArray{'a', 'b', 0, 'c'}), "ab");
  EXPECT_EQ(text_of_bytes(ByteArray{}), "");
}

}  // namespace
}  // namespace lumora
