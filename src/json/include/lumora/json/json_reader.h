// Reading JSON text (UTF-8) into a value. Strict JSON only: no comments, no
// single quotes, no trailing text. Iterative: nesting deeper than
// kMaxJsonDepth is refused instead of growing any stack. Never throws.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "lumora/json/json_value.h"

namespace lumora::json {

inline constexpr std::size_t kMaxJsonDepth = 10000;

// The value of `utf8`, or nothing when it is not one complete JSON text (an
// empty text included). A name that occurs twice in an object keeps its first
// position and takes the last value.
std::optional<Value> read_json(std::string_view utf8);

}  // namespace lumora::json
