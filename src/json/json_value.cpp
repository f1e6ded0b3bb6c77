#include "lumora/json/json_value.h"

#include <utility>

namespace lumora::json {
namespace {

// Objects at least this large keep a name index.
constexpr std::size_t kIndexFrom = 64;

// Moves the container children of `v` to `pending`, leaving undefined behind,
// so that deleting `v`'s storage never recurses more than one level.
void take_container_children(Value& v, std::vector<Value>& pending) {
  if (v.kind() == Kind::kArray) {
    for (Value& child : v.as_array())
      if (child.is_container()) pending.push_back(std::move(child));
  } else if (v.kind() == Kind::kObject) {
    for (Member& m : v.as_object().members())
      if (m.value.is_container()) pending.push_back(std::move(m.value));
  }
}

}  // namespace

Value Value::hole() noexcept {
  Value v;
  v.kind_ = Kind::kHole;
  return v;
}

Value Value::null() noexcept {
  Value v;
  v.kind_ = Kind::kNull;
  return v;
}

Value Value::boolean(bool b) noexcept {
  Value v;
  v.kind_ = Kind::kBool;
  v.boolean_ = b;
  return v;
}

Value Value::number(double d) noexcept {
  Value v;
  v.kind_ = Kind::kNumber;
  v.number_ = d;
  return v;
}

Value Value::string(std::string s) {
  Value v;
  v.string_ = new std::string(std::move(s));
  v.kind_ = Kind::kString;
  return v;
}

Value Value::array() {
  Value v;
  v.array_ = new Array();
  v.kind_ = Kind::kArray;
  return v;
}

Value Value::object() {
  Value v;
  v.object_ = new Object();
  v.kind_ = Kind::kObject;
  return v;
}

Value::Value(Value&& other) noexcept : Value() { steal(other); }

Value& Value::operator=(Value&& other) noexcept {
  if (this != &other) {
    // Keep the old value alive until the new one is in place: `other` may be
    // one of its descendants.
    Value old;
    old.steal(*this);
    steal(other);
  }
  return *this;
}

Value::~Value() { release(); }

void Value::steal(Value& other) noexcept {
  kind_ = other.kind_;
  number_ = 0;
  switch (kind_) {
    case Kind::kBool: boolean_ = other.boolean_; break;
    case Kind::kNumber: number_ = other.number_; break;
    case Kind::kString: string_ = other.string_; break;
    case Kind::kArray: array_ = other.array_; break;
    case Kind::kObject: object_ = other.object_; break;
    default: break;
  }
  other.kind_ = Kind::kUndefined;
}

void Value::release() noexcept {
  if (kind_ == Kind::kString) {
    delete string_;
  } else if (is_container()) {
    std::vector<Value> pending;
    take_container_children(*this, pending);
    while (!pending.empty()) {
      Value v = std::move(pending.back());
      pending.pop_back();
      take_container_children(v, pending);
    }
    if (kind_ == Kind::kArray) delete array_;
    else delete object_;
  }
  kind_ = Kind::kUndefined;
}

std::optional<std::size_t> Object::position(std::string_view name) const noexcept {
  if (index_) {
    const auto it = index_->find(name);
    if (it == index_->end()) return std::nullopt;
    return it->second;
  }
  for (std::size_t i = 0; i < members_.size(); ++i)
    if (members_[i].name == name) return i;
  return std::nullopt;
}

Value* Object::find(std::string_view name) noexcept {
  const auto at = position(name);
  return at ? &members_[*at].value : nullptr;
}

const Value* Object::find(std::string_view name) const noexcept {
  const auto at = position(name);
  return at ? &members_[*at].value : nullptr;
}

Value& Object::slot(std::string name) {
  if (const auto at = position(name)) return members_[*at].value;
  if (index_) {
    index_->emplace(name, members_.size());
  } else if (members_.size() + 1 >= kIndexFrom) {
    index_ = std::make_unique<NameIndex>();
    for (std::size_t i = 0; i < members_.size(); ++i) index_->emplace(members_[i].name, i);
    index_->emplace(name, members_.size());
  }
  members_.push_back(Member{std::move(name), Value()});
  return members_.back().value;
}

std::optional<std::uint32_t> array_index(std::string_view name) noexcept {
  if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) return std::nullopt;
  std::uint64_t n = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (n > kMaxArrayIndex) return std::nullopt;
  return static_cast<std::uint32_t>(n);
}

}  // namespace lumora::json
