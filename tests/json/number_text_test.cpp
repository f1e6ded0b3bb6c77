#include "lumora/json/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumora::json {
namespace {

struct NumberCase {
  double value;
  const char* script;  // shortest round-trip form
  const char* g13;
  const char* variant;
};

TEST(NumberText, Forms) {
  const NumberCase cases[] = {
      {0, "0", "0", "0"},
      {-0.0, "0", "-0", "0"},
      {12345678, "12345678", "12345678", "12345678"},
      {0.1, "0.1", "0.1", "0.1"},
      {0.5, "0.5", "0.5", "0.5"},
      {-1.5, "-1.5", "-1.5", "-1.5"},
      {12345678901234, "12345678901234", "1.234567890123e+13", "12345678901234"},
      {2147483648.0, "2147483648", "2147483648", "2147483648"},
      {1e21, "1e+21", "1e+21", "1e+21"},
      {1e20, "100000000000000000000", "1e+20", "1e+20"},
      {123e-9, "1.23e-7", "1.23e-07", "1.23e-07"},
      {0.000001, "0.000001", "1e-06", "1e-06"},
      {0.0001, "0.0001", "0.0001", "0.0001"},
      {1.0 / 3, "0.3333333333333333", "0.3333333333333", "0.333333333333333"},
      {5e-324, "5e-324", "4.940656458412e-324", "4.94065645841247e-324"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(script_number_text(c.value), c.script);
    EXPECT_EQ(g13_text(c.value), c.g13);
    EXPECT_EQ(variant_number_text(c.value), c.variant);
  }
  EXPECT_EQ(script_number_text(std::numeric_limits<double>::infinity()), "Infinity");
  EXPECT_EQ(script_number_text(std::nan("")), "NaN");
}

TEST(NumberText, DecimalTextValue) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } cases[] = {{"12", true, 12},    {" -1.5e2 ", true, -150}, {"+3", true, 3},
               {".5", true, 0.5},   {"5.", true, 5},          {"", false, 0},
               {"1e", false, 0},    {"0x10", false, 0},       {"inf", false, 0},
               {"12abc", false, 0}, {"1e999", false, 0},      {"-", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double d = 0;
    EXPECT_EQ(decimal_text_value(c.text, d), c.ok);
    if (c.ok) {
      EXPECT_EQ(d, c.value);
    }
  }
}

}  // namespace
}  // namespace lumora::json
