// Compact JSON text (UTF-8) of a value, as the document hands it out: own
// members in order, undefined members left out, undefined elements and holes
// as null, non-finite numbers as null, numbers in their shortest script form.
// Iterative, so nesting of any depth is written without recursion.
#pragma once

#include <string>

#include "lumora/json/json_value.h"

namespace lumora::json {

// Empty text for an undefined value (it has no JSON text).
std::string write_json(const Value& value);

// Appends `utf8` as a quoted JSON string: the quote, backslash and the
// control characters \b \t \n \f \r by name; the other invisible and format
// characters as \u with four lower-case hex digits; "/" as it is.
void append_quoted(std::string& out, std::string_view utf8);

}  // namespace lumora::json
