// A JSON document: holds one JSON value, its root, and answers reads and
// edits that name a part of it by a path such as "data.list[3].title" (path
// syntax in lumora/json/json_path.h). Response bodies are data: they are
// parsed as JSON and never executed.
//
// Texts in and out are GBK; values are held as UTF-8, and a character
// without a GBK form reads back as "?". Nothing throws and nothing reports an
// error: a failed read gives empty text, 0, false or -1, a failed edit
// changes nothing.
//
// Paths join the root by the dot rule or the bracket rule (see json_path.h);
// each operation says which. An optional path left empty means the root.
//
// Threads: a document and its clones are used by one thread only.
// Ownership: a document owns a reference to its root; `clone` adds one, so a
// clone and its original see each other's edits until either of them parses
// or initializes (which gives it a root of its own). The root goes when the
// last reference is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora::json {
struct Lookup;
}

namespace lumora {

// Type codes of `type_of`; `reset` takes kJsonNull, kJsonObject, kJsonArray.
inline constexpr int kJsonNull = 0;  // also: the last member named does not exist
inline constexpr int kJsonBoolean = 1;
inline constexpr int kJsonNumber = 2;
inline constexpr int kJsonObject = 4;
inline constexpr int kJsonArray = 5;
inline constexpr int kJsonString = 6;
inline constexpr int kJsonOther = -1;  // also: a path that cannot be evaluated

class JsonDocument {
 public:
  // A new document whose root is an empty object.
  static JsonDocument create();

  JsonDocument(JsonDocument&&) noexcept;
  JsonDocument& operator=(JsonDocument&&) noexcept;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;
  ~JsonDocument();

  // Lets go of the root. Afterwards every read gives its empty result, every
  // edit does nothing and `parse` gives false, until `initialize`.
  void destroy();
  // A document sharing this one's root.
  JsonDocument clone() const;
  // A root of its own, an empty object.
  void initialize();
  // Replaces the root by the value of the JSON `text`: true unless that value
  // is null. A text that is not JSON (an empty text included), or that nests
  // deeper than 10,000 levels, leaves the root null and gives false. A JSON
  // string as the whole text is that string, not read a second time.
  bool parse(std::string_view text);

  // JSON text of the root.
  Text to_json() const;
  // Dot rule. With `as_json` false the member becomes a string: `value` read
  // as the body of a single-quoted script string (its escapes interpreted; a
  // raw quote or line break changes nothing). With `as_json` true it becomes
  // the value of the JSON text `value`, an empty object for an empty text.
  void set_value(std::string_view path, std::string_view value, bool as_json = false);
  // Dot rule. The member becomes the value of the JSON text `value`;
  // an empty value makes it undefined (counted and listed, never written).
  void set_json(std::string_view path, std::string_view value);
  // Dot rule. Rounded to 13 significant digits; a non-finite number changes
  // nothing.
  void set_number(std::string_view path, double number);
  // Dot rule. A number as it is, a string holding a decimal number as that
  // number, true as -1; else 0.
  double get_number(std::string_view path) const;
  // Dot rule. JSON text of the value; empty when missing or invalid.
  Text get_json(std::string_view path) const;
  // Bracket rule. With `as_json`, the value's JSON text. Otherwise a string
  // as it is, a number as "%.13g" writes it (under the dot rule's reading),
  // a boolean "True" or "False", anything else empty.
  Text get_text(std::string_view path, bool as_json = false) const;
  // Bracket rule. A new document holding a copy of the value, made through
  // its JSON text; its root is null when the path names nothing.
  JsonDocument get_document(std::string_view path) const;
  // Bracket rule. Members of an object, elements of an array (holes not
  // counted); -2 for null or a missing last member; 0 for a path that cannot
  // be evaluated.
  int count(std::string_view path = {}) const;
  // Dot rule. Adds the value (as in set_value; with `as_json` an empty value
  // adds nothing) as the last element of the array at the path, which is
  // first replaced by an empty array when it is not one.
  void append(std::string_view value, std::string_view path = {}, bool as_json = false);
  // Dot rule, then element `index`: a copy as for get_document.
  JsonDocument get_item_document(int index, std::string_view path = {}) const;
  // Dot rule, then element `index`: with `as_json` its JSON text, otherwise
  // as get_text but a number as a 32-bit integer plainly or to 15 digits.
  Text get_item_text(int index, std::string_view path = {}, bool as_json = false) const;
  // Element `index` of the root array (or member of that name of a root
  // object) becomes the value; see set_value.
  void set_item(int index, std::string_view value, bool as_json = false);
  // Removes element `index` of a root array; a negative index counts from
  // the end.
  void remove_item(int index);
  // Removes from the array named by the text before the first "[" the element
  // whose index is the number between that "[" and the next "]". Nothing
  // happens when that does not name an array.
  void remove_path_item(std::string_view path);
  // kJsonNull or kJsonObject: the root becomes an empty object; kJsonArray an
  // empty array; any other code changes nothing.
  void reset(int type_code);
  // The root becomes the value (see set_value); the result is that value
  // read as a boolean, not whether it was assigned.
  bool set_root(std::string_view value, bool as_json = false);
  // Dot rule. True when the value exists and is not null.
  bool has(std::string_view path) const;
  // Bracket rule. Replaces `names` by the member names of an object, or the
  // indexes of an array's elements in decimal; gives their number.
  int keys(TextList& names, std::string_view path = {}) const;
  // Dot rule. The type code of the value at the path.
  int type_of(std::string_view path = {}) const;
  // The root becomes an empty object.
  void clear();

 private:
  struct Root;
  explicit JsonDocument(std::shared_ptr<Root> root) noexcept;
  // A new document holding a copy, made through JSON text, of what was found.
  static JsonDocument copy_of(json::Lookup found);

  std::shared_ptr<Root> root_;
};

}  // namespace lumora
