#include "lumora/net/url_coding.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(UrlDecode, Escapes) {
  EXPECT_EQ(url_decode("%E4%B8%AD", true), gbk(u8"中"));
  EXPECT_EQ(url_decode("%e4"), url_decode("%E4"));
  EXPECT_EQ(url_decode("a+b"), "a+b");
  EXPECT_EQ(url_decode("abc%"), "abc");        // lone "%" at the end is dropped
  EXPECT_EQ(url_decode("%4"), "@");            // missing digit counts 0
  EXPECT_EQ(url_decode("%00x"), "x");          // decoded zero adds nothing
  EXPECT_EQ(url_decode("%zz1"), "\xDE" "1");   // -2 * 16 + -2 = -34 -> 0xDE
  EXPECT_EQ(url_decode("%%41"), "\xE4" "1");   // "%" and "4" are the digits: -2 * 16 + 4
  EXPECT_EQ(url_decode("{\"t\":\"%41\"}"), "{\"t\":\"A\"}");
}

TEST(UrlEncode, Switches) {
  EXPECT_EQ(url_encode("a b", true), "a%20b");
  EXPECT_EQ(url_encode("a b"), "%61%20%62");
  EXPECT_EQ(url_encode(gbk(u8"中文"), true, true), "%E4%B8%AD%E6%96%87");
  EXPECT_EQ(url_encode(gbk(u8"中"), true, false), "%D6%D0");
  EXPECT_EQ(url_encode("/_~*-.09AZaz", true), "%2F%5F%7E%2A-.09AZaz");
  EXPECT_EQ(url_encode("", true, true), "");
}

TEST(UrlCoding, DecodeUndoesEncode) {
  const Text gbk_text = gbk(u8"心理罪 第1集/下");
  EXPECT_EQ(url_decode(url_encode(gbk_text, true, true), true), gbk_text);
}

}  // namespace
}  // namespace lumora
