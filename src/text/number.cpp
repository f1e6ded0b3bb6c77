#include "lumora/text/number.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace lumora {
namespace {

// GBK full-width forms folded to ASCII before reading a number.
Text fold_full_width(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || i + 1 >= text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const auto d = static_cast<unsigned char>(text[i + 1]);
    if (c == 0xA1 && d == 0xA1) {
      out.push_back(' ');
    } else if (c == 0xA1 && d == 0xAB) {
      out.push_back('~');
    } else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) {
      out.push_back('*');
    } else if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
      out.push_back(static_cast<char>(d & 0x7F));
    } else {
      out.push_back(text[i]);
      out.push_back(text[i + 1]);
    }
    ++i;
  }
  return out;
}

bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::int32_t text_to_int(std::string_view text) {
  const Text folded = fold_full_width(text);
  std::size_t i = 0;
  while (i < folded.size() && is_white(folded[i])) ++i;
  bool negative = false;
  if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) negative = folded[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
    value = std::min<std::int64_t>(value * 10 + (folded[i] - '0'), kLimit);
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
}

std::int64_t round_shown(double value) {
  if (!std::isfinite(value)) return 0;
  const double magnitude = std::fabs(value);
  if (magnitude >= 9.2e18) return value < 0 ? std::numeric_limits<std::int64_t>::min()
                                            : std::numeric_limits<std::int64_t>::max();
  double whole = std::floor(magnitude);
  if (magnitude - whole + 1e-12 >= 0.5) whole += 1;
  const auto rounded = static_cast<std::int64_t>(whole);
  return value < 0 ? -rounded : rounded;
}

Text decimal_text(std::int64_t value) { return std::to_string(value); }

}  // namespace lumora
