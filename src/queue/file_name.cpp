#include "lumora/queue/file_name.h"

#include <algorithm>
#include <cstring>

namespace lumora {

Text safe_file_name(const Text& title) {
  Text name;
  name.reserve(title.size());
  for (std::size_t i = 0; i < title.size(); ++i) {
    const auto c = static_cast<unsigned char>(title[i]);
    if (c >= 0x80 && i + 1 < title.size()) {
      // A GBK trail byte may be 0x5C ("\"): it belongs to its character.
      name.append(title, i, 2);
      ++i;
    } else if (c < 0x20 || c == 0x7F || c >= 0x80 || std::strchr("/\\:*?\"<>|", c)) {
      name.push_back('_');
    } else {
      name.push_back(static_cast<char>(c));
    }
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
