#include "lumora/net/url_coding.h"

#include <algorithm>
#include <cstring>

namespace lumora {
namespace {

// The digit's value, -2 for a byte that is not a hex digit.
int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -2;
}

bool is_unreserved(unsigned char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

}  // namespace

Text url_decode(std::string_view text, bool to_gbk) {
  Text out;
  out.reserve(text.size());
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    // Copy the plain run up to the next "%" in one go.
    const auto* percent = static_cast<const char*>(std::memchr(p, '%', end - p));
    const char* run_end = percent ? percent : end;
    out.append(p, run_end);
    if (!percent) break;
    p = percent + 1;
    const int high = p < end ? hex_value(static_cast<unsigned char>(*p)) : 0;
    const int low = p + 1 < end ? hex_value(static_cast<unsigned char>(p[1])) : 0;
    p = std::min(p + 2, end);
    const auto byte = static_cast<unsigned char>((16 * high + low) & 0xFF);
    if (byte != 0) out.push_back(static_cast<char>(byte));
  }
  if (to_gbk) return utf8_to_gbk(out);
  return out;
}

Text answer_body_decode(std::string_view text, bool to_gbk) {
  Text out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t percent = text.find('%', at);
    out.append(text.substr(at, percent == std::string_view::npos ? text.size() - at : percent - at));
    if (percent == std::string_view::npos) break;
    const int high = percent + 1 < text.size() ? hex_value(static_cast<unsigned char>(text[percent + 1])) : -1;
    const int low = percent + 2 < text.size() ? hex_value(static_cast<unsigned char>(text[percent + 2])) : -1;
    if (high < 0 || low < 0) {
      out.push_back('%');
      at = percent + 1;
      continue;
    }
    if (const int byte = 16 * high + low; byte != 0) out.push_back(static_cast<char>(byte));
    at = percent + 3;
  }
  if (to_gbk) return utf8_to_gbk(out);
  return out;
}

Text url_encode(std::string_view text, bool keep_unreserved, bool as_utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (text.empty()) return {};
  const Text source = as_utf8 ? gbk_to_utf8(text) : Text(text);
  Text out;
  out.reserve(source.size() * 3);
  for (const char ch : source) {
    const auto c = static_cast<unsigned char>(ch);
    if (keep_unreserved && is_unreserved(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

}  // namespace lumora
