// Parses arbitrary bytes as a response body, then runs a sequence of path
// queries and edits drawn from the rest of the input.
//
// Input: body, then "\x01", then operations: an opcode byte, then a path and
// a value, each a length byte and that many bytes, then an index byte.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "lumora/json/json_document.h"

namespace {

class Input {
 public:
  explicit Input(std::string_view rest) : rest_(rest) {}
  bool empty() const { return rest_.empty(); }
  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  std::string_view text() {
    const std::size_t n = std::min<std::size_t>(byte(), rest_.size());
    const std::string_view t = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return t;
  }

 private:
  std::string_view rest_;
};

void run(lumora::JsonDocument& doc, std::uint8_t op, std::string_view path, std::string_view value,
         int index) {
  const bool as_json = op & 0x80;
  lumora::TextList names;
  switch (op % 27) {
    case 0: doc.to_json(); break;
    case 1: doc.set_value(path, value, as_json); break;
    case 2: doc.set_json(path, value); break;
    case 3: doc.set_number(path, index * 1.5e10 / 7); break;
    case 4: doc.get_number(path); break;
    case 5: doc.get_json(path); break;
    case 6: doc.get_text(path, as_json); break;
    case 7: doc.get_document(path).count(); break;
    case 8: doc.count(path); break;
    case 9: doc.append(value, path, as_json); break;
    case 10: doc.get_item_document(index, path).to_json(); break;
    case 11: doc.get_item_text(index, path, as_json); break;
    case 12: doc.set_item(index, value, as_json); break;
    case 13: doc.remove_item(index); break;
    case 14: doc.remove_path_item(path); break;
    case 15: doc.reset(index); break;
    case 16: doc.set_root(value, as_json); break;
    case 17: doc.has(path); break;
    case 18: doc.keys(names, path); break;
    case 19: doc.type_of(path); break;
    case 20: doc.clear(); break;
    case 21: doc.parse(value); break;
    case 22: doc = doc.clone(); break;
    case 23: doc.destroy(); break;
    case 24: doc.initialize(); break;
    case 25:  // grows the document, within bounds
      if (const auto json = doc.to_json(); json.size() < 65536) doc.set_json(path, json);
      break;
    default: doc.get_text(path); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = all.find('\x01');
  auto doc = lumora::JsonDocument::create();
  doc.parse(all.substr(0, cut));
  if (cut == std::string_view::npos) return 0;
  Input in(all.substr(cut + 1));
  lumora::JsonDocument twin = doc.clone();
  for (int ops = 0; ops < 64 && !in.empty(); ++ops) {
    const std::uint8_t op = in.byte();
    const std::string_view path = in.text();
    const std::string_view value = in.text();
    const int index = static_cast<std::int8_t>(in.byte());
    run(ops % 2 ? twin : doc, op, path, value, index);
  }
  doc.to_json();
  twin.to_json();
  return 0;
}
