#include "lumora/text/text.h"

#include <algorithm>

namespace lumora {
namespace {

bool is_lead(unsigned char c) { return c >= 0x80; }

unsigned char fold(unsigned char c, bool ignore_case) {
  return (ignore_case && c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

bool matches_at(std::string_view hay, std::size_t at, std::string_view needle, bool ignore_case) {
  for (std::size_t i = 0; i < needle.size(); ++i) {
    if (fold(hay[at + i], ignore_case) != fold(needle[i], ignore_case)) return false;
  }
  return true;
}

bool is_space_at(std::string_view t, std::size_t i) {
  if (t[i] == ' ') return true;
  return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
         static_cast<unsigned char>(t[i + 1]) == 0xA1;
}

}  // namespace

Text text_of_bytes(const ByteArray& bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), 0);
  return Text(bytes.begin(), end);
}

ByteArray bytes_of_text(std::string_view text) { return ByteArray(text.begin(), text.end()); }

// `from` must be a character boundary.
static std::size_t find_aligned(std::string_view hay, std::string_view needle, std::size_t from,
                         bool ignore_case) {
  if (needle.empty() || hay.size() < needle.size()) return 0;
  const std::size_t last = hay.size() - needle.size();
  const unsigned char first = fold(needle[0], ignore_case);
  for (std::size_t i = from; i <= last; i += is_lead(hay[i]) ? 2 : 1) {
    if (fold(hay[i], ignore_case) == first && matches_at(hay, i, needle, ignore_case)) return i + 1;
  }
  return 0;
}

std::size_t find_text(std::string_view hay, std::string_view needle, std::int64_t start,
                      bool ignore_case) {
  if (start < 1) start = 1;
  if (static_cast<std::uint64_t>(start) > hay.size()) return 0;
  const auto from = static_cast<std::size_t>(start - 1);
  // Characters are counted from the text's beginning, so a start position on
  // a trail byte still steps over that character.
  std::size_t i = 0;
  while (i < from) i += is_lead(hay[i]) ? 2 : 1;
  return find_aligned(hay, needle, i, ignore_case);
}

bool contains_text(std::string_view hay, std::string_view needle) {
  return find_text(hay, needle) != 0;
}

Text text_left(std::string_view text, std::size_t count) {
  return Text(text.substr(0, std::min(count, text.size())));
}

Text text_right(std::string_view text, std::size_t count) {
  count = std::min(count, text.size());
  return Text(text.substr(text.size() - count));
}

Text text_mid(std::string_view text, std::size_t start, std::size_t count) {
  if (start < 1) start = 1;
  if (start > text.size()) return {};
  return Text(text.substr(start - 1, count));
}

Text replace_all(std::string_view text, std::string_view from, std::string_view to,
                 bool ignore_case) {
  if (from.empty()) return Text(text);
  Text out;
  std::size_t done = 0;
  while (std::size_t pos = find_aligned(text, from, done, ignore_case)) {
    out.append(text.substr(done, pos - 1 - done));
    out.append(to);
    done = pos - 1 + from.size();
  }
  out.append(text.substr(done));
  return out;
}

Text trim_spaces(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && is_space_at(text, begin)) begin += text[begin] == ' ' ? 1 : 2;
  std::size_t end = text.size();
  while (end > begin) {
    if (text[end - 1] == ' ') {
      --end;
    } else if (end - begin >= 2 && static_cast<unsigned char>(text[end - 1]) == 0xA1 &&
               static_cast<unsigned char>(text[end - 2]) == 0xA1) {
      end -= 2;
    } else {
      break;
    }
  }
  return Text(text.substr(begin, end - begin));
}

Text remove_spaces(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (is_space_at(text, i)) {
      i += text[i] == ' ' ? 1 : 2;
    } else if (is_lead(text[i]) && i + 1 < text.size()) {
      out.append(text.substr(i, 2));
      i += 2;
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

TextList split_text(std::string_view text, std::string_view separator) {
  TextList list;
  if (text.empty()) return list;
  if (separator.empty()) {
    list.emplace_back(text);
    return list;
  }
  std::size_t done = 0;
  while (std::size_t pos = find_aligned(text, separator, done, false)) {
    list.emplace_back(text.substr(done, pos - 1 - done));
    done = pos - 1 + separator.size();
  }
  if (done < text.size()) list.emplace_back(text.substr(done));
  return list;
}

}  // namespace lumora
