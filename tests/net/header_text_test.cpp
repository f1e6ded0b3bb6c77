#include "lumora/net/header_text.h"

#include <gtest/gtest.h>

#include "lumora/text/code_page.h"

namespace lumora {
namespace {

TEST(HeaderLine, NameAndValue) {
  EXPECT_EQ(header_name("Accept: */*"), "Accept");
  EXPECT_EQ(header_value("Accept: */*"), "*/*");
  EXPECT_EQ(header_value("Host: h:80"), "h:80");
  EXPECT_EQ(header_name("  X-A :  v  "), "X-A");
  EXPECT_EQ(header_value("  X-A :  v  "), "v");
  EXPECT_EQ(header_name("no colon"), "");
  EXPECT_EQ(header_value("no colon"), "");
  EXPECT_EQ(header_value("Empty:"), "");
}

TEST(TextBefore, CountsFromTheBeginning) {
  EXPECT_EQ(text_before("Set-Cookie: a=1", ": "), "Set-Cookie");
  EXPECT_EQ(text_before("no separator", ": "), "");
  EXPECT_EQ(text_before("a;b;c", ";", 3), "a;b");
  EXPECT_EQ(text_before("aXbxc", "x", 1, true), "a");
  EXPECT_EQ(text_before(";x", ";"), "");
}

TEST(TextBeforeAndBetween, StartOutsideTheText) {
  for (const std::int64_t start : {std::int64_t{-5}, std::int64_t{0}, INT64_MIN}) {
    EXPECT_EQ(text_before("a;b", ";", start), "a") << start;
    EXPECT_EQ(text_between("[x]", "[", "]", start), "x") << start;
  }
  for (const std::int64_t start : {std::int64_t{4}, std::int64_t{1} << 40, INT64_MAX}) {
    EXPECT_EQ(text_before("a;b", ";", start), "") << start;
    EXPECT_EQ(text_between("[x]", "[", "]", start), "") << start;
  }
}

TEST(TextBetween, Markers) {
  EXPECT_EQ(text_between("Set-Cookie: sid=9; path=/", "Set-Cookie:", ";"), " sid=9");
  EXPECT_EQ(text_between("[]", "[", "]"), "");
  EXPECT_EQ(text_between("a[b", "[", "]"), "");
  EXPECT_EQ(text_between("ab]", "[", "]"), "");
  EXPECT_EQ(text_between("x=1 x=2;", "x=", ";", 3), "2");
  EXPECT_EQ(text_between("SET-COOKIE: v;", "set-cookie:", ";", 1, true), " v");
  // "#引号" spells a double quote in either marker.
  const Text quote = gbk(u8"#引号");
  EXPECT_EQ(text_between("name=\"value\"", "=" + quote, quote), "value");
}

}  // namespace
}  // namespace lumora
