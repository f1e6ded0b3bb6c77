// Cutting header lines and marked pieces out of texts. Searches are
// character-aware (see lumora/text/text.h); no result is trimmed unless said.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// The trimmed text before / after the first ":"; empty when there is none.
Text header_name(std::string_view line);
Text header_value(std::string_view line);

// The text from the beginning up to the first `separator` found at or after
// `start` (1-based; below 1 counts as 1); empty when not found.
Text text_before(std::string_view text, std::string_view separator, std::int64_t start = 1,
                 bool ignore_case = false);

// The bytes between the first `left` at or after `start` (1-based; below 1
// counts as 1) and the next `right`; empty when either is missing. "#引号"
// in a marker stands for '"'.
Text text_between(std::string_view text, std::string_view left, std::string_view right,
                  std::int64_t start = 1, bool ignore_case = false);

}  // namespace lumora
