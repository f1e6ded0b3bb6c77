#include "lumora/net/cookie_text.h"

namespace lumora {

Text merge_cookie_text(Text& old_cookies, std::string_view new_cookies) {
  old_cookies = remove_spaces(old_cookies);
  TextList list = split_text(remove_spaces(new_cookies), ";");
  for (const Text& item : split_text(old_cookies, ";")) {
    if (!cookie_list_has(list, cookie_name(item))) list.push_back(item);
  }
  static constexpr std::string_view kDeleted = "=deleted";
  Text merged;
  for (const Text& item : list) {
    if (item.size() >= kDeleted.size() && item.ends_with(kDeleted)) continue;
    merged += item;
    merged += "; ";
  }
  if (!merged.empty()) merged.resize(merged.size() - 2);
  old_cookies = unique_items(merged, "; ");
  return old_cookies;
}

Text cookie_name(std::string_view item) {
  const std::size_t eq = find_text(item, "=");
  return trim_spaces(eq == 0 ? item : item.substr(0, eq - 1));
}

bool cookie_list_has(const TextList& list, std::string_view name) {
  for (const Text& item : list) {
    if (cookie_name(item) == name) return true;
  }
  return false;
}

Text unique_items(std::string_view text, std::string_view separator) {
  TextList kept;
  for (Text& piece : split_text(text, separator)) {
    if (find_item(kept, piece) == -1) kept.push_back(std::move(piece));
  }
  Text out;
  for (const Text& piece : kept) {
    out += piece;
    out += separator;
  }
  out.resize(out.size() >= separator.size() ? out.size() - separator.size() : 0);
  return out;
}

int find_item(const TextList& list, std::string_view text) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == text) return static_cast<int>(i) + 1;
  }
  return -1;
}

}  // namespace lumora
