// Cookie texts: "name=value" items separated by ";" on input, "; " on output.
#pragma once

#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// Cookies of `new_cookies` win, items of `old_cookies` it does not name
// survive (the first of each name), "=deleted" items are dropped and exact
// repeats removed. The result is also written to `old_cookies`; all spaces
// are removed from both inputs.
Text merge_cookie_text(Text& old_cookies, std::string_view new_cookies);

// The trimmed text before the first "=", or the whole item.
Text cookie_name(std::string_view item);

bool cookie_list_has(const TextList& list, std::string_view name);

// The pieces of `text` split at `separator`, exact repeats dropped, joined
// again by `separator`.
Text unique_items(std::string_view text, std::string_view separator);

// 1-based index of the first item equal to `text`, or -1.
int find_item(const TextList& list, std::string_view text);

}  // namespace lumora
