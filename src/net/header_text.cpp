#include "lumora/net/header_text.h"

#include "lumora/text/code_page.h"

namespace lumora {

Text header_name(std::string_view line) {
  const std::size_t colon = find_text(line, ":");
  return colon == 0 ? Text() : trim_spaces(line.substr(0, colon - 1));
}

Text header_value(std::string_view line) {
  const std::size_t colon = find_text(line, ":");
  return colon == 0 ? Text() : trim_spaces(line.substr(colon));
}

Text text_before(std::string_view text, std::string_view separator, std::int64_t start,
                 bool ignore_case) {
  const std::size_t pos = find_text(text, separator, start, ignore_case);
  return pos == 0 ? Text() : Text(text.substr(0, pos - 1));
}

Text text_between(std::string_view text, std::string_view left, std::string_view right,
                  std::int64_t start, bool ignore_case) {
  static const Text kQuoteMarker = gbk(u8"#引号");
  const Text left_marker = replace_all(left, kQuoteMarker, "\"");
  const Text right_marker = replace_all(right, kQuoteMarker, "\"");
  const std::size_t l = find_text(text, left_marker, start, ignore_case);
  if (l == 0) return {};
  const std::size_t q = l + left_marker.size();
  const std::size_t r =
      find_text(text, right_marker, static_cast<std::int64_t>(q), ignore_case);
  if (r == 0) return {};
  return Text(text.substr(q - 1, r - q));
}

}  // namespace lumora
