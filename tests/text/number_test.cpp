#include "lumora/text/number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumora {
namespace {

TEST(TextToInt, AsciiRules) {
  EXPECT_EQ(text_to_int("42"), 42);
  EXPECT_EQ(text_to_int("  -17abc"), -17);
  EXPECT_EQ(text_to_int("+8"), 8);
  EXPECT_EQ(text_to_int("abc"), 0);
  EXPECT_EQ(text_to_int(""), 0);
  EXPECT_EQ(text_to_int("- 5"), 0);
  EXPECT_EQ(text_to_int("99999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(text_to_int("-99999999999"), std::numeric_limits<std::int32_t>::min());
}

TEST(TextToInt, FoldsFullWidthForms) {
  // Full-width "１２" is A3 B1 A3 B2; full-width space A1 A1; full-width "－" A3 AD.
  EXPECT_EQ(text_to_int("\xA3\xB1\xA3\xB2"), 12);
  EXPECT_EQ(text_to_int("\xA1\xA1\xA3\xAD\xA3\xB3"), -3);
  EXPECT_EQ(text_to_int("7\xD6\xD0"), 7);  // stops at 中
}

TEST(RoundShown, HalfAwayFromZeroWithNudge) {
  EXPECT_EQ(round_shown(2.5), 3);
  EXPECT_EQ(round_shown(-2.5), -3);
  EXPECT_EQ(round_shown(2.4999999999995), 3);  // within the nudge
  EXPECT_EQ(round_shown(2.49), 2);
  EXPECT_EQ(round_shown(0.0), 0);
  EXPECT_EQ(round_shown(std::nan("")), 0);
  EXPECT_EQ(decimal_text(-120), "-120");
}

}  // namespace
}  // namespace lumora
