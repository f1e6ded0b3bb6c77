#include "lumora/road/file_name.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "lumora/download/side_files.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

bool is_gbk_lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool is_gbk_trail(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}

// Bytes of the character that starts at `i`: 2 for a lead byte followed by a
// valid trail byte, else 1. A trail byte may be 0x5C ("\"): it belongs to its
// character and is not a separator.
std::size_t char_length(const Text& text, std::size_t i) {
  return i + 1 < text.size() && is_gbk_lead(static_cast<unsigned char>(text[i])) &&
                 is_gbk_trail(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}

// A single byte kept as it is: printable ASCII that names no path part or
// wildcard, and 0x80 (the euro sign, a character of its own).
bool keeps_single_byte(unsigned char c) {
  if (c == 0x80) return true;
  return c >= 0x20 && c < 0x7F && !std::strchr("/\\:*?\"<>|", c);
}

// The longest name the title may become: the engine later adds "(n)" (up to
// "(99)") when the name is taken, ".mp3", and a side-file suffix while the
// download runs, and the whole must stay within the 255-byte UTF-8 limit.
constexpr std::size_t kNameLimit = 255;
constexpr std::size_t kMaxTitleUtf8 =
    kNameLimit - std::string_view("(99)").size() - std::string_view(".mp3").size() -
    kLongestSideSuffix;

}  // namespace

Text safe_file_name(const Text& title) {
  Text name;
  name.reserve(title.size());
  std::size_t utf8_size = 0;
  for (std::size_t i = 0; i < title.size();) {
    const std::size_t n = char_length(title, i);
    Text ch = title.substr(i, n);
    if (n == 1 && !keeps_single_byte(static_cast<unsigned char>(ch[0]))) ch = "_";
    utf8_size += gbk_to_utf8(ch).size();
    if (utf8_size > kMaxTitleUtf8) break;
    name += ch;
    i += n;
  }
  if (std::all_of(name.begin(), name.end(), [](char c) { return c == '.'; })) {
    std::fill(name.begin(), name.end(), '_');
  }
  return name;
}

Text track_file_path(const Text& folder, const Text& title) {
  Text path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  return path + safe_file_name(title) + ".mp3";
}

}  // namespace lumora
