#include "lumora/json/json_reader.h"

#include <nlohmann/json.hpp>

#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace lumora::json {
namespace {

using Json = nlohmann::ordered_json;

// Builds the value from the parser's events. Each open container is the last
// element or the pending member of its parent, and its parent does not grow
// while it is open, so the pointers on the stack stay valid.
class Builder {
 public:
  bool null() { return place(Value::null()); }
  bool boolean(bool b) { return place(Value::boolean(b)); }
  bool number_integer(Json::number_integer_t n) {
    return place(Value::number(static_cast<double>(n)));
  }
  bool number_unsigned(Json::number_unsigned_t n) {
    return place(Value::number(static_cast<double>(n)));
  }
  bool number_float(Json::number_float_t d, const Json::string_t&) {
    return place(Value::number(d));
  }
  bool string(Json::string_t& s) { return place(Value::string(std::move(s))); }
  bool binary(Json::binary_t&) { return false; }
  bool start_object(std::size_t) { return open(Value::object()); }
  bool start_array(std::size_t) { return open(Value::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(Json::string_t& name) {
    pending_member_ = &open_.back()->as_object().slot(std::move(name));
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    return false;
  }

  Value take_root() { return std::move(root_); }

 private:
  Value* place_value(Value v) {
    if (open_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    Value& parent = *open_.back();
    if (parent.kind() == Kind::kArray) {
      parent.as_array().push_back(std::move(v));
      return &parent.as_array().back();
    }
    *pending_member_ = std::move(v);
    return pending_member_;
  }
  bool place(Value v) {
    place_value(std::move(v));
    return true;
  }
  bool open(Value v) {
    if (open_.size() >= kMaxJsonDepth) return false;
    open_.push_back(place_value(std::move(v)));
    return true;
  }
  bool close() {
    open_.pop_back();
    return true;
  }

  Value root_;
  std::vector<Value*> open_;
  Value* pending_member_ = nullptr;
};

}  // namespace

std::optional<Value> read_json(std::string_view utf8) {
  try {
    Builder builder;
    if (!Json::sax_parse(utf8.begin(), utf8.end(), &builder)) return std::nullopt;
    return builder.take_root();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace lumora::json
