// The document's further reads: JSON texts, copies, items, presence, names.
#include <optional>
#include <string>
#include <utility>

#include "document_root.h"
#include "lumora/json/engine_text.h"
#include "lumora/json/eval_result.h"
#include "lumora/json/json_reader.h"
#include "lumora/json/json_writer.h"

namespace lumora {

using json::Join;
using json::Kind;
using json::Lookup;
using json::Value;

// The text stays UTF-8 on the way, so characters without a GBK form survive
// the copy.
JsonDocument JsonDocument::copy_of(Lookup found) {
  JsonDocument doc = create();
  auto value = found.ok && !found.value->is_undefined()
                   ? json::read_json(json::write_json(*found.value))
                   : std::nullopt;
  doc.root_->value = value ? std::move(*value) : Value::null();
  return doc;
}

Text JsonDocument::to_json() const {
  if (!root_) return {};
  return json::json_text_of(Lookup{true, &root_->value});
}

Text JsonDocument::get_json(std::string_view path) const {
  if (!root_) return {};
  return json::json_text_of(json::find_path(root_->value, path, Join::kDot));
}

JsonDocument JsonDocument::get_document(std::string_view path) const {
  if (!root_) return copy_of(Lookup{});
  return copy_of(json::find_path(root_->value, path, Join::kBracket));
}

JsonDocument JsonDocument::get_item_document(int index, std::string_view path) const {
  if (!root_) return copy_of(Lookup{});
  const Lookup base = json::find_optional(root_->value, path, Join::kDot);
  return copy_of(json::lookup_step(base, json::key_of_index(index)));
}

Text JsonDocument::get_item_text(int index, std::string_view path, bool as_json) const {
  if (!root_) return {};
  const Lookup base = json::find_optional(root_->value, path, Join::kDot);
  const Lookup found = json::lookup_step(base, json::key_of_index(index));
  return as_json ? json::json_text_of(found) : json::result_text(found);
}

bool JsonDocument::has(std::string_view path) const {
  if (!root_) return false;
  const Lookup found = json::find_path(root_->value, path, Join::kDot);
  return found.ok && !found.value->is_undefined() && found.value->kind() != Kind::kNull;
}

int JsonDocument::keys(TextList& names, std::string_view path) const {
  names.clear();
  if (!root_) return 0;
  const Lookup found = json::find_optional(root_->value, path, Join::kBracket);
  if (!found.ok) return 0;
  const Value& v = *found.value;
  if (v.kind() == Kind::kObject) {
    for (const json::Member& m : v.as_object().members()) names.push_back(json::from_engine(m.name));
  } else if (v.kind() == Kind::kArray) {
    const json::Array& a = v.as_array();
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i].kind() != Kind::kHole) names.push_back(std::to_string(i));
  } else if (v.kind() == Kind::kString) {
    const int n = json::utf16_length(v.as_string());
    for (int i = 0; i < n; ++i) names.push_back(std::to_string(i));
  }
  return static_cast<int>(names.size());
}

}  // namespace lumora
