#include "lumora/json/json_writer.h"

#include <cmath>
#include <vector>

#include "lumora/json/number_text.h"

namespace lumora::json {
namespace {

// Characters written as \uXXXX besides those with a short escape.
bool needs_unicode_escape(std::uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x600 && c <= 0x604) ||
         c == 0x70F || c == 0x17B4 || c == 0x17B5 || (c >= 0x200C && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202F) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
         (c >= 0xFFF0 && c <= 0xFFFF);
}

// Decodes the UTF-8 character at `s[i]` (the text is valid UTF-8) and
// advances `i` past it; only characters of the BMP can need an escape.
std::uint32_t next_char(std::string_view s, std::size_t& i) {
  const auto b = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[k])); };
  const std::uint32_t c = b(i);
  if (c < 0x80 || i + 1 >= s.size()) return ++i, c;
  if (c < 0xE0) return i += 2, ((c & 0x1F) << 6) | (b(i - 1) & 0x3F);
  if (c < 0xF0 && i + 2 < s.size()) {
    i += 3;
    return ((c & 0x0F) << 12) | ((b(i - 2) & 0x3F) << 6) | (b(i - 1) & 0x3F);
  }
  i += c < 0xF0 ? 1 : 4;
  return 0x10000;  // beyond the BMP: written as it is
}

void append_escape(std::string& out, std::uint32_t c) {
  static const char kHex[] = "0123456789abcdef";
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
    default: break;
  }
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
}

void append_scalar(std::string& out, const Value& v) {
  switch (v.kind()) {
    case Kind::kBool: out += v.as_bool() ? "true" : "false"; break;
    case Kind::kNumber:
      out += std::isfinite(v.as_number()) ? script_number_text(v.as_number()) : "null";
      break;
    case Kind::kString: append_quoted(out, v.as_string()); break;
    default: out += "null"; break;
  }
}

// One open container: where the walk stands in it.
struct Frame {
  const Value* container;
  std::size_t next = 0;
  bool wrote_any = false;
};

// The next child of `f` to write, with its member name; null at the end.
const Value* next_child(Frame& f, const std::string*& name) {
  if (f.container->kind() == Kind::kArray) {
    const Array& a = f.container->as_array();
    name = nullptr;
    return f.next < a.size() ? &a[f.next++] : nullptr;
  }
  const auto& members = f.container->as_object().members();
  while (f.next < members.size()) {
    const Member& m = members[f.next++];
    if (m.value.is_undefined()) continue;
    name = &m.name;
    return &m.value;
  }
  return nullptr;
}

void open(std::string& out, std::vector<Frame>& stack, const Value& v) {
  out.push_back(v.kind() == Kind::kArray ? '[' : '{');
  stack.push_back(Frame{&v});
}

}  // namespace

void append_quoted(std::string& out, std::string_view utf8) {
  out.push_back('"');
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    const std::uint32_t c = next_char(utf8, i);
    if (c == '"' || c == '\\' || needs_unicode_escape(c)) append_escape(out, c);
    else out.append(utf8, start, i - start);
  }
  out.push_back('"');
}

std::string write_json(const Value& value) {
  std::string out;
  if (value.is_undefined()) return out;
  if (!value.is_container()) {
    append_scalar(out, value);
    return out;
  }
  std::vector<Frame> stack;
  open(out, stack, value);
  while (!stack.empty()) {
    Frame& f = stack.back();
    const std::string* name = nullptr;
    const Value* child = next_child(f, name);
    if (!child) {
      out.push_back(f.container->kind() == Kind::kArray ? ']' : '}');
      stack.pop_back();
      continue;
    }
    if (f.wrote_any) out.push_back(',');
    f.wrote_any = true;
    if (name) {
      append_quoted(out, *name);
      out.push_back(':');
    }
    if (child->is_container()) open(out, stack, *child);  // invalidates f
    else append_scalar(out, *child);
  }
  return out;
}

}  // namespace lumora::json
