// Inside the JSON document: its shared root and the steps that its reads and
// edits have in common. Not part of the module's interface.
#pragma once

#include <optional>
#include <string_view>

#include "lumora/json/json_document.h"
#include "lumora/json/json_path.h"
#include "lumora/json/json_value.h"
#include "lumora/text/text.h"

namespace lumora {

struct JsonDocument::Root {
  json::Value value = json::Value::object();
};

namespace json {

// The value at a GBK path.
Lookup find_path(const Value& root, std::string_view path, Join join);
// As find_path, but an empty path is the root.
Lookup find_optional(const Value& root, std::string_view path, Join join);
// Mutable form of a successful lookup in a root the caller may change.
inline Value* writable(Lookup found) { return const_cast<Value*>(found.value); }

// The value a GBK value text stands for: with `as_json` a JSON text, otherwise
// the body of a single-quoted script string. Nothing when it is not valid.
std::optional<Value> value_of_text(std::string_view value, bool as_json);

// Length in UTF-16 units of a UTF-8 text, as a script counts a string.
int utf16_length(std::string_view utf8);

// What `count` gives for the value a lookup found: an object's members, an
// array's elements without holes, a string's UTF-16 units; 0 for a failed
// lookup, a number or a boolean; -2 for null or undefined.
int value_count(Lookup found);

// GBK JSON text of what a lookup found; empty when it failed or is undefined.
Text json_text_of(Lookup found);

}  // namespace json
}  // namespace lumora
