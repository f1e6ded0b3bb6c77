// Paths into a value, in script member-access notation relative to the root:
// "data.list[3].title", "docs[0]['category_title']", "[2]". Paths are UTF-8.
//
// The root variable is joined to the path by one of two rules. Dot rule: root
// + "." + path, so the path must start with a member name (an empty path or
// one starting with "[" is invalid). Bracket rule: root + path when the path
// starts with "[", else the dot rule.
//
// Steps: ".name" (letters, digits, "_", "$", non-ASCII), "[123]" (a number),
// "['name']" or "[\"name\"]" (a quoted string with script escapes); blanks
// between tokens are allowed. A step on an object gives the member or
// undefined; on an array the element of a canonical index or undefined; on a
// string, number or boolean undefined; on null or undefined the whole path
// fails. Nothing is ever evaluated beyond these steps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lumora/json/json_value.h"

namespace lumora::json {

enum class Join { kDot, kBracket };

// One step: a member name, and the array index it spells, if any.
struct Key {
  std::string name;
  std::optional<std::uint32_t> index;
};

// The key that an index written in decimal brackets makes ("-1" names no element).
Key key_of_index(std::int64_t index);

// What a read found: `ok` false when the path cannot be evaluated; `value`
// is then null. A missing member gives an undefined value.
struct Lookup {
  bool ok = false;
  const Value* value = nullptr;
};

Lookup lookup(const Value& root, std::string_view path, Join join);
// One more step after a successful lookup (fails on null or undefined).
Lookup lookup_step(Lookup base, const Key& key);

// The place an assignment writes to: the container (or scalar) before the
// last step, and that step. Nothing when the path is invalid or a step before
// the last meets null or undefined.
struct Target {
  Value* parent = nullptr;
  Key key;
};
std::optional<Target> assignment_target(Value& root, std::string_view path, Join join);

// Longest an array may become by assignment past its end (holes are kept as
// elements, so a huge index must not allocate without bound).
inline constexpr std::uint32_t kMaxHoleyLength = 65536;

// Assigns as a script does: an object's member is created last or replaced;
// an array's element is set, the array lengthened with holes when the index
// is at or past its end; nothing happens on a string, number or boolean, for
// a name that is no index on an array, or for an index past the end that
// would make the array longer than kMaxHoleyLength. Returns false when
// nothing was assigned.
bool assign(const Target& target, Value value);

}  // namespace lumora::json
