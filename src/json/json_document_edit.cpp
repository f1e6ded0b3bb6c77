// The document's edits: setting, appending and removing values, and whole
// root replacement.
#include <charconv>
#include <cmath>
#include <utility>

#include "document_root.h"
#include "lumora/json/engine_text.h"
#include "lumora/json/eval_result.h"
#include "lumora/json/number_text.h"
#include "lumora/net/header_text.h"
#include "lumora/text/number.h"

namespace lumora {

using json::Join;
using json::Kind;
using json::Lookup;
using json::Value;

namespace {

// Assigns `value` at a dot-rule path; nothing when either is invalid.
void store(Value& root, std::string_view path, std::optional<Value> value) {
  std::string storage;
  const auto target = json::assignment_target(root, json::to_engine(path, storage), Join::kDot);
  if (target && value) json::assign(*target, std::move(*value));
}

// The number as "%.13g" writes it, read back.
double rounded_13(double d) {
  const std::string text = json::g13_text(d);
  double out = d;
  std::from_chars(text.data(), text.data() + text.size(), out);
  return out;
}

// The array at a dot-rule path (the root when empty), made an empty array
// first when it holds something else; null when the path is invalid or the
// place cannot hold an array.
json::Array* array_at(Value& root, std::string_view path) {
  if (path.empty()) {
    if (root.kind() != Kind::kArray) root = Value::array();
    return &root.as_array();
  }
  Lookup found = json::find_path(root, path, Join::kDot);
  if (!found.ok) return nullptr;
  if (found.value->kind() != Kind::kArray) {
    std::string storage;
    const auto target = json::assignment_target(root, json::to_engine(path, storage), Join::kDot);
    if (!target || !json::assign(*target, Value::array())) return nullptr;
    found = json::find_path(root, path, Join::kDot);
  }
  return &json::writable(found)->as_array();
}

// Removes element `index` as a script's splice(index, 1) does.
void splice_out(json::Array& a, long index) {
  const long size = static_cast<long>(a.size());
  const long at = index < 0 ? std::max(size + index, 0L) : index;
  if (at < size) a.erase(a.begin() + at);
}

}  // namespace

void JsonDocument::set_value(std::string_view path, std::string_view value, bool as_json) {
  if (!root_) return;
  store(root_->value, path,
        as_json && value.empty() ? Value::object() : json::value_of_text(value, as_json));
}

void JsonDocument::set_json(std::string_view path, std::string_view value) {
  if (!root_) return;
  store(root_->value, path, value.empty() ? Value() : json::value_of_text(value, true));
}

void JsonDocument::set_number(std::string_view path, double number) {
  if (!root_ || !std::isfinite(number)) return;
  store(root_->value, path, Value::number(rounded_13(number)));
}

void JsonDocument::append(std::string_view value, std::string_view path, bool as_json) {
  if (!root_) return;
  const bool adds = !(as_json && value.empty());  // an empty JSON text pushes nothing
  std::optional<Value> item;
  if (adds && !(item = json::value_of_text(value, as_json))) return;
  json::Array* array = array_at(root_->value, path);
  if (array && adds) array->push_back(std::move(*item));
}

void JsonDocument::set_item(int index, std::string_view value, bool as_json) {
  if (!root_) return;
  auto item = json::value_of_text(value, as_json);
  if (!item) return;
  json::assign(json::Target{&root_->value, json::key_of_index(index)}, std::move(*item));
}

void JsonDocument::remove_item(int index) {
  if (root_ && root_->value.kind() == Kind::kArray) splice_out(root_->value.as_array(), index);
}

void JsonDocument::remove_path_item(std::string_view path) {
  if (!root_) return;
  const Text prefix = text_before(path, "[");
  if (prefix.empty()) return;
  const Lookup found = json::find_path(root_->value, prefix, Join::kBracket);
  if (found.ok && found.value->kind() == Kind::kArray)
    splice_out(json::writable(found)->as_array(), text_to_int(text_between(path, "[", "]")));
}

void JsonDocument::reset(int type_code) {
  if (!root_) return;
  if (type_code == kJsonNull || type_code == kJsonObject) root_->value = Value::object();
  else if (type_code == kJsonArray) root_->value = Value::array();
}

bool JsonDocument::set_root(std::string_view value, bool as_json) {
  if (!root_) return false;
  auto v = json::value_of_text(value, as_json);
  if (!v) return false;
  root_->value = std::move(*v);
  return json::result_bool(root_->value);
}

void JsonDocument::clear() {
  if (root_) root_->value = Value::object();
}

}  // namespace lumora
