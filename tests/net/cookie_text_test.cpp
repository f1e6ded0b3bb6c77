#include "lumora/net/cookie_text.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

struct MergeCase {
  Text old_cookies;
  Text new_cookies;
  Text merged;
};

TEST(MergeCookieText, NewWinsOldSurvivesDeletedDropped) {
  const MergeCase cases[] = {
      {"a=0; c=3", "a=1; b=2", "a=1; b=2; c=3"},
      {"a=0", "b=deleted", "a=0"},
      {"", "x=1; x=1", "x=1"},
      {"", "x=1; x=2", "x=1; x=2"},
      {"", "a=hello world", "a=helloworld"},
      {"c=3; c=4", "", "c=3"},
      {"", "", ""},
      {"a=1", "a=deleted", ""},
      {"flag", "b=2", "b=2; flag"},
      {"a=1;b=2", "\xA1\xA1" "c=3", "c=3; a=1; b=2"},
  };
  for (const auto& c : cases) {
    Text old_cookies = c.old_cookies;
    EXPECT_EQ(merge_cookie_text(old_cookies, c.new_cookies), c.merged)
        << c.old_cookies << " + " << c.new_cookies;
    EXPECT_EQ(old_cookies, c.merged) << "written back";
  }
}

TEST(CookieItems, NamesAndLookups) {
  EXPECT_EQ(cookie_name(" a =1"), "a");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(cookie_name("=v"), "");
  EXPECT_TRUE(cookie_list_has({"x=1", "a=2"}, "a"));
  EXPECT_FALSE(cookie_list_has({"x=1", "a=2"}, "A"));
  EXPECT_EQ(find_item({"a", "b", "b"}, "b"), 2);
  EXPECT_EQ(find_item({"a"}, "c"), -1);
  EXPECT_EQ(unique_items("a; b; a; a=1", "; "), "a; b; a=1");
  EXPECT_EQ(unique_items("", "; "), "");
}

}  // namespace
}  // namespace lumora
