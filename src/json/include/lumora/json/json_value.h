// The value model of a JSON document: the values of a script built from JSON,
// plus "undefined" (a member set to nothing) and the hole of an array
// lengthened past its end. Strings hold UTF-8.
//
// Containers own their children. Destruction is iterative, so nesting of any
// depth cannot exhaust the stack. Not thread-safe; a value is used by one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora::json {

enum class Kind : std::uint8_t {
  kUndefined,
  kHole,  // an array element never assigned; reads as undefined
  kNull,
  kBool,
  kNumber,
  kString,
  kArray,
  kObject,
};

class Value;
struct Member;
class Object;
using Array = std::vector<Value>;

class Value {
 public:
  Value() noexcept : kind_(Kind::kUndefined), number_(0) {}
  static Value hole() noexcept;
  static Value null() noexcept;
  static Value boolean(bool b) noexcept;
  static Value number(double d) noexcept;
  static Value string(std::string s);
  static Value array();
  static Value object();

  Value(Value&& other) noexcept;
  Value& operator=(Value&& other) noexcept;
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value();

  Kind kind() const noexcept { return kind_; }
  // Undefined and holes both read as undefined.
  bool is_undefined() const noexcept { return kind_ == Kind::kUndefined || kind_ == Kind::kHole; }
  bool is_container() const noexcept { return kind_ == Kind::kArray || kind_ == Kind::kObject; }

  // Each accessor requires the matching kind.
  bool as_bool() const noexcept { return boolean_; }
  double as_number() const noexcept { return number_; }
  const std::string& as_string() const noexcept { return *string_; }
  std::string& as_string() noexcept { return *string_; }
  const Array& as_array() const noexcept { return *array_; }
  Array& as_array() noexcept { return *array_; }
  const Object& as_object() const noexcept { return *object_; }
  Object& as_object() noexcept { return *object_; }

 private:
  void release() noexcept;
  void steal(Value& other) noexcept;

  Kind kind_;
  union {
    bool boolean_;
    double number_;
    std::string* string_;
    Array* array_;
    Object* object_;
  };
};

struct Member {
  std::string name;
  Value value;
};

// Members in the order they were first created. Large objects keep a name
// index so that building or reading them stays linear.
class Object {
 public:
  const std::vector<Member>& members() const noexcept { return members_; }
  std::vector<Member>& members() noexcept { return members_; }
  std::size_t size() const noexcept { return members_.size(); }

  Value* find(std::string_view name) noexcept;
  const Value* find(std::string_view name) const noexcept;
  // The member of that name, created last (as undefined) when missing.
  Value& slot(std::string name);

 private:
  std::optional<std::size_t> position(std::string_view name) const noexcept;

  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };
  using NameIndex = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;

  std::vector<Member> members_;
  std::unique_ptr<NameIndex> index_;
};

// Arrays indexed by a canonical index ("0", "17", never "01" or "-1").
inline constexpr std::uint64_t kMaxArrayIndex = 4294967294ULL;  // 2^32 - 2

// The array index that `name` spells, if it is one.
std::optional<std::uint32_t> array_index(std::string_view name) noexcept;

}  // namespace lumora::json
