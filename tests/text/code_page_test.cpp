#include "lumora/text/code_page.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace lumora {
namespace {

const Text kZhongGbk = "\xD6\xD0";        // 中
const Text kZhongUtf8 = "\xE4\xB8\xAD";   // 中

TEST(CodePage, RoundTrips) {
  EXPECT_EQ(utf8_to_gbk(kZhongUtf8), kZhongGbk);
  EXPECT_EQ(gbk_to_utf8(kZhongGbk), kZhongUtf8);
  EXPECT_EQ(gbk(u8"中"), kZhongGbk);
  EXPECT_EQ(from_utf16(to_utf16(kZhongGbk, kCodePageGbk), kCodePageUtf8), kZhongUtf8);
  EXPECT_EQ(from_utf16(to_utf16(kZhongUtf8)), kZhongGbk);  // 65001 in, ANSI (GBK) out
  EXPECT_EQ(utf8_to_gbk(""), "");
}

TEST(CodePage, Utf16CarriesTheTerminator) {
  EXPECT_EQ(to_utf16("A"), (ByteArray{'A', 0, 0, 0}));
  EXPECT_EQ(to_utf16(""), (ByteArray{0, 0}));
  EXPECT_EQ(from_utf16(ByteArray{'a', 0, 0, 0, 'b', 0}), "a");
  EXPECT_EQ(from_utf16(ByteArray{'a', 0, 'b'}), "a");  // odd last byte ignored
}

TEST(CodePage, InvalidInputBecomesQuestionMarkAndGoesOn) {
  EXPECT_EQ(utf8_to_gbk("a\xFF" "b"), "a?b");
  EXPECT_EQ(utf8_to_gbk("a\xE4\xB8"), "a?");           // truncated at the end
  EXPECT_EQ(utf8_to_gbk("\xE4\xB8z"), "?z");           // truncated in the middle
  EXPECT_EQ(utf8_to_gbk("\xED\xA0\x80x"), "???x");     // encoded surrogate: no valid prefix
  EXPECT_EQ(utf8_to_gbk("\xF0\x9F\x98\x80!"), "?!");   // emoji: GBK lacks it
  EXPECT_EQ(gbk_to_utf8("\xFF" "a"), "?a");
  EXPECT_EQ(gbk_to_utf8("\x80"), "\xE2\x82\xAC");  // 0x80 is the euro sign, as in code page 936
  EXPECT_EQ(gbk_to_utf8("\xD6"), "?");
  EXPECT_EQ(from_utf16(ByteArray{0x00, 0xD8, 'x', 0}, kCodePageUtf8), "?x");  // lone surrogate
  EXPECT_EQ(utf8_to_gbk(Text("a\0b", 3)), "a");  // texts end at a zero byte
}

// Texts far longer than the converter's buffer, with characters and bad
// bytes falling at every offset around its edges: converted as a whole,
// they equal their parts converted one by one.
TEST(CodePage, LongTextsConvertAsTheirParts) {
  struct Part {
    Text from, to;
  };
  const auto times = [](const Text& t, int n) {
    Text out;
    for (int i = 0; i < n; ++i) out += t;
    return out;
  };
  // A valid run longer than the buffer, then short parts and bad bytes.
  const Part run_utf8{times(kZhongUtf8, 40000), times(kZhongGbk, 40000)};
  const std::vector<Part> to_gbk = {run_utf8, {kZhongUtf8, kZhongGbk}, {"a", "a"}, {"\xFF", "?"},
                                    {"\xF0\x9F\x98\x80", "?"}, {"bc", "bc"}};
  const std::vector<Part> to_utf8 = {{run_utf8.to, run_utf8.from}, {kZhongGbk, kZhongUtf8}, {"a", "a"},
                                     {"\xFF", "?"}, {"\x80", "\xE2\x82\xAC"}};
  for (const auto* parts : {&to_gbk, &to_utf8}) {
    for (int shift = 0; shift < 4; ++shift) {
      SCOPED_TRACE(shift);
      Text in(shift, 'x'), out(shift, 'x');
      for (std::size_t i = 0; in.size() < 400000; ++i) {
        in += (*parts)[i % parts->size()].from;
        out += (*parts)[i % parts->size()].to;
      }
      EXPECT_EQ(parts == &to_gbk ? utf8_to_gbk(in) : gbk_to_utf8(in), out);
    }
  }
}

TEST(CodePage, ThreadsConvertIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        if (utf8_to_gbk(kZhongUtf8 + "x") != kZhongGbk + "x") ++failures[t];
        if (gbk_to_utf8(kZhongGbk) != kZhongUtf8) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace lumora
