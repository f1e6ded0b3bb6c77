// The content of a quoted script string literal, read from its body.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::json {

// Reads `body` (UTF-8) as the text between the quotes of a script string
// literal quoted with `quote` (' or "): the escapes \b \f \n \r \t \v, \0
// and octal escapes, \xHH, \uHHHH (surrogate pairs joined), a backslash
// before a line break continuing the line, and any other escaped character
// standing for itself. Nothing when the body holds an unescaped `quote` or
// line break, or a broken \x or \u escape. The result is UTF-8; a lone
// surrogate becomes U+FFFD.
std::optional<std::string> read_script_string(std::string_view body, char quote);

// Appends code point `c` to `out` in UTF-8.
void append_utf8(std::string& out, std::uint32_t c);

}  // namespace lumora::json
