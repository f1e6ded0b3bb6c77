#include "lumora/json/json_document.h"

#include <utility>

#include "document_root.h"
#include "lumora/json/engine_text.h"
#include "lumora/json/eval_result.h"
#include "lumora/json/json_reader.h"
#include "lumora/json/json_writer.h"
#include "lumora/json/number_text.h"
#include "lumora/json/script_string.h"

namespace lumora {

using json::Join;
using json::Kind;
using json::Lookup;
using json::Value;

namespace json {

Lookup find_path(const Value& root, std::string_view path, Join join) {
  std::string storage;
  return lookup(root, to_engine(path, storage), join);
}

Lookup find_optional(const Value& root, std::string_view path, Join join) {
  return path.empty() ? Lookup{true, &root} : find_path(root, path, join);
}

std::optional<Value> value_of_text(std::string_view value, bool as_json) {
  std::string storage;
  const std::string_view utf8 = to_engine(value, storage);
  if (as_json) return read_json(utf8);
  auto text = read_script_string(utf8, '\'');
  if (!text) return std::nullopt;
  return Value::string(std::move(*text));
}

int utf16_length(std::string_view utf8) {
  int n = 0;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0) != 0x80) n += b >= 0xF0 ? 2 : 1;
  }
  return n;
}

Text json_text_of(Lookup found) {
  if (!found.ok || found.value->is_undefined()) return {};
  return from_engine(write_json(*found.value));
}

}  // namespace json

namespace {

// Elements of an array not counting holes.
int element_count(const json::Array& a) {
  int n = 0;
  for (const Value& v : a) n += v.kind() != Kind::kHole;
  return n;
}

}  // namespace

namespace json {

int value_count(Lookup found) {
  if (!found.ok) return 0;
  const Value& v = *found.value;
  switch (v.kind()) {
    case Kind::kObject: return static_cast<int>(v.as_object().size());
    case Kind::kArray: return element_count(v.as_array());
    case Kind::kString: return utf16_length(v.as_string());
    case Kind::kBool:
    case Kind::kNumber: return 0;
    default: return -2;
  }
}

}  // namespace json

JsonDocument::JsonDocument(std::shared_ptr<Root> root) noexcept : root_(std::move(root)) {}
JsonDocument::JsonDocument(JsonDocument&&) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&&) noexcept = default;
JsonDocument::~JsonDocument() = default;

JsonDocument JsonDocument::create() {
  JsonDocument doc(nullptr);
  doc.initialize();
  return doc;
}

void JsonDocument::destroy() { root_.reset(); }

JsonDocument JsonDocument::clone() const { return JsonDocument(root_); }

void JsonDocument::initialize() { root_ = std::make_shared<Root>(); }

bool JsonDocument::parse(std::string_view text) {
  if (!root_) return false;
  root_ = std::make_shared<Root>();  // nothing of the previous root survives
  std::string storage;
  auto value = json::read_json(json::to_engine(text, storage));
  root_->value = value ? std::move(*value) : Value::null();
  return root_->value.kind() != Kind::kNull;
}

double JsonDocument::get_number(std::string_view path) const {
  if (!root_) return 0;
  return json::result_number(json::find_path(root_->value, path, Join::kDot));
}

Text JsonDocument::get_text(std::string_view path, bool as_json) const {
  if (!root_) return {};
  const Lookup found = json::find_path(root_->value, path, Join::kBracket);
  if (as_json) return json::json_text_of(found);
  // Numbers read under the dot rule, which a path starting with "[" fails.
  if (found.ok && found.value->kind() == Kind::kNumber && !path.starts_with('['))
    return json::g13_text(found.value->as_number());
  return json::result_text(found);
}

int JsonDocument::count(std::string_view path) const {
  if (!root_) return 0;
  return json::value_count(json::find_optional(root_->value, path, Join::kBracket));
}

int JsonDocument::type_of(std::string_view path) const {
  if (!root_) return kJsonOther;
  const Lookup found = json::find_optional(root_->value, path, Join::kDot);
  if (!found.ok) return kJsonOther;
  switch (found.value->kind()) {
    case Kind::kBool: return kJsonBoolean;
    case Kind::kNumber: return kJsonNumber;
    case Kind::kString: return kJsonString;
    case Kind::kArray: return kJsonArray;
    case Kind::kObject: return kJsonObject;
    default: return kJsonNull;
  }
}

}  // namespace lumora
