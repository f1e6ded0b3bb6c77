#include "lumora/json/json_path.h"

#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

#include "lumora/json/number_text.h"
#include "lumora/json/script_string.h"

namespace lumora::json {
namespace {

const Value kUndefined;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool is_name_char(char c) { return is_name_start(c) || is_digit(c); }

Key key_of_name(std::string name) {
  Key key{std::move(name), std::nullopt};
  key.index = array_index(key.name);
  return key;
}

// Reads the steps of a joined path one at a time.
class StepReader {
 public:
  StepReader(std::string_view path, Join join) : path_(path) {
    // Under the dot rule the text continues "root." + path.
    dot_pending_ = join == Join::kDot || path.empty() || path[0] != '[';
  }

  enum class Next { kStep, kEnd, kInvalid };

  Next next(Key& key) {
    if (dot_pending_) {
      dot_pending_ = false;
      return read_name(key) ? Next::kStep : Next::kInvalid;
    }
    skip_blanks();
    if (at_ == path_.size()) return Next::kEnd;
    const char c = path_[at_++];
    if (c == '.') return read_name(key) ? Next::kStep : Next::kInvalid;
    if (c == '[') return read_bracket(key) ? Next::kStep : Next::kInvalid;
    return Next::kInvalid;
  }

 private:
  void skip_blanks() {
    while (at_ < path_.size() && is_blank(path_[at_])) ++at_;
  }

  bool read_name(Key& key) {
    skip_blanks();
    const std::size_t start = at_;
    if (at_ == path_.size() || !is_name_start(path_[at_])) return false;
    while (at_ < path_.size() && is_name_char(path_[at_])) ++at_;
    key = key_of_name(std::string(path_.substr(start, at_ - start)));
    return true;
  }

  bool read_bracket(Key& key) {
    skip_blanks();
    if (at_ == path_.size()) return false;
    const char c = path_[at_];
    const bool ok = c == '\'' || c == '"' ? read_quoted(key, c) : read_number(key);
    if (!ok) return false;
    skip_blanks();
    return at_ < path_.size() && path_[at_++] == ']';
  }

  bool read_quoted(Key& key, char quote) {
    const std::size_t start = ++at_;
    while (at_ < path_.size() && path_[at_] != quote) at_ += path_[at_] == '\\' ? 2 : 1;
    if (at_ >= path_.size()) return false;
    auto name = read_script_string(path_.substr(start, at_ - start), quote);
    ++at_;
    if (!name) return false;
    key = key_of_name(std::move(*name));
    return true;
  }

  // A decimal number literal, optionally negated; the member name is its
  // number text, as a script converts a number used as a key.
  bool read_number(Key& key) {
    const std::size_t start = at_;
    if (path_[at_] == '-') ++at_;
    const std::size_t digits = at_;
    while (at_ < path_.size() && (is_digit(path_[at_]) || path_[at_] == '.')) ++at_;
    if (at_ < path_.size() && (path_[at_] == 'e' || path_[at_] == 'E')) {
      ++at_;
      if (at_ < path_.size() && (path_[at_] == '+' || path_[at_] == '-')) ++at_;
      while (at_ < path_.size() && is_digit(path_[at_])) ++at_;
    }
    const std::string_view literal = path_.substr(digits, at_ - digits);
    if (literal.empty() || !is_digit(literal[0])) return false;
    if (const auto index = array_index(literal); index && start == digits) {
      key = Key{std::string(literal), index};
      return true;
    }
    double d = 0;
    const auto res = std::from_chars(literal.data(), literal.data() + literal.size(), d);
    if (res.ptr != literal.data() + literal.size()) return false;
    if (res.ec == std::errc::result_out_of_range) {
      const bool tiny = literal[0] == '0' || literal.find("e-") != literal.npos ||
                        literal.find("E-") != literal.npos;
      d = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (res.ec != std::errc()) {
      return false;
    }
    key = key_of_name(script_number_text(start == digits ? d : -d));
    return true;
  }

  std::string_view path_;
  std::size_t at_ = 0;
  bool dot_pending_;
};

// The child a step names; null when there is none.
Value* child(Value& base, const Key& key) {
  if (base.kind() == Kind::kObject) return base.as_object().find(key.name);
  if (base.kind() == Kind::kArray && key.index) {
    Array& a = base.as_array();
    return *key.index < a.size() ? &a[*key.index] : nullptr;
  }
  return nullptr;
}

bool steppable(const Value& v) { return !v.is_undefined() && v.kind() != Kind::kNull; }

}  // namespace

Key key_of_index(std::int64_t index) { return key_of_name(std::to_string(index)); }

Lookup lookup_step(Lookup base, const Key& key) {
  if (!base.ok || !steppable(*base.value)) return {};
  const Value* v = child(const_cast<Value&>(*base.value), key);
  return {true, v ? v : &kUndefined};
}

Lookup lookup(const Value& root, std::string_view path, Join join) {
  StepReader reader(path, join);
  Lookup at{true, &root};
  Key key;
  for (;;) {
    const auto next = reader.next(key);
    if (next == StepReader::Next::kEnd) return at;
    if (next == StepReader::Next::kInvalid) return {};
    at = lookup_step(at, key);
    if (!at.ok) return at;
  }
}

std::optional<Target> assignment_target(Value& root, std::string_view path, Join join) {
  StepReader reader(path, join);
  Value* parent = &root;
  Key pending;
  bool have_pending = false;
  Key key;
  for (;;) {
    const auto next = reader.next(key);
    if (next == StepReader::Next::kInvalid) return std::nullopt;
    if (next == StepReader::Next::kEnd) break;
    if (have_pending) {
      Value* c = steppable(*parent) ? child(*parent, pending) : nullptr;
      if (!c) return std::nullopt;  // a step on null or undefined
      parent = c;
    }
    pending = std::move(key);
    have_pending = true;
  }
  if (!have_pending || !steppable(*parent)) return std::nullopt;
  return Target{parent, std::move(pending)};
}

bool assign(const Target& target, Value value) {
  Value& parent = *target.parent;
  if (parent.kind() == Kind::kObject) {
    parent.as_object().slot(target.key.name) = std::move(value);
    return true;
  }
  if (parent.kind() != Kind::kArray || !target.key.index) return false;
  Array& a = parent.as_array();
  const std::uint32_t i = *target.key.index;
  if (i > a.size() && i >= kMaxHoleyLength) return false;
  while (a.size() < i) a.push_back(Value::hole());
  if (i == a.size()) a.push_back(std::move(value));
  else a[i] = std::move(value);
  return true;
}

}  // namespace lumora::json
