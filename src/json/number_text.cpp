#include "lumora/json/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>
#include <string_view>

namespace lumora::json {
namespace {

// printf's "%.<precision>g" in the C locale, whatever the process locale.
std::string general_text(double d, int precision) {
  char buf[48];
  const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, precision);
  return std::string(buf, res.ptr);
}

}  // namespace

std::string script_number_text(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  if (d == 0) return "0";
  // Shortest round-trip digits in scientific form: "d.ddde[+-]x".
  char buf[40];
  const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  std::string out;
  std::size_t at = 0;
  if (sci[0] == '-') {
    out.push_back('-');
    at = 1;
  }
  const std::size_t e = sci.find('e');
  std::string digits;
  for (std::size_t i = at; i < e; ++i)
    if (sci[i] != '.') digits.push_back(sci[i]);
  const int k = static_cast<int>(digits.size());
  int exponent = 0;
  const std::size_t exp_at = e + (sci[e + 1] == '+' ? 2 : 1);
  std::from_chars(sci.data() + exp_at, sci.data() + sci.size(), exponent);
  const int n = exponent + 1;  // the decimal point goes after n digits
  if (k <= n && n <= 21) {
    out += digits;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out.append(digits, 0, static_cast<std::size_t>(n));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += digits;
  } else {
    out.push_back(digits[0]);
    if (k > 1) {
      out.push_back('.');
      out.append(digits, 1);
    }
    out += n - 1 < 0 ? "e-" : "e+";
    out += std::to_string(std::abs(n - 1));
  }
  return out;
}

std::string g13_text(double d) { return general_text(d, 13); }

std::string variant_number_text(double d) {
  if (d == std::trunc(d) && d >= -2147483648.0 && d <= 2147483647.0)
    return std::to_string(static_cast<long>(d));
  return general_text(d, 15);
}

bool decimal_text_value(std::string_view text, double& out) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exp_start = j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (j == exp_start) return false;
    i = j;
  }
  if (i != text.size()) return false;
  const std::string_view plain = text.substr(text[0] == '+' ? 1 : 0);
  const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), out);
  return res.ec == std::errc() && res.ptr == plain.data() + plain.size();
}

}  // namespace lumora::json
