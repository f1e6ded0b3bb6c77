#include "lumora/json/engine_text.h"

#include "lumora/text/code_page.h"

namespace lumora::json {
namespace {

// True when every byte up to the first zero is ASCII; `text` is cut there.
bool plain_ascii(std::string_view& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0) {
      text = text.substr(0, i);
      return true;
    }
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string_view to_engine(std::string_view gbk, std::string& storage) {
  if (plain_ascii(gbk)) return gbk;
  storage = gbk_to_utf8(gbk);
  return storage;
}

Text from_engine(std::string_view utf8) {
  if (plain_ascii(utf8)) return Text(utf8);
  return utf8_to_gbk(utf8);
}

}  // namespace lumora::json
