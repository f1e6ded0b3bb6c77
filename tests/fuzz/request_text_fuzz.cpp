// Feeds arbitrary bytes to every text operation that sees network data.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lumora/net/cookie_text.h"
#include "lumora/net/header_text.h"
#include "lumora/net/url_coding.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  // The first byte picks where the input is cut into a text and a second one.
  const std::size_t cut = data[0] % size;
  const std::string_view a = all.substr(1, cut > 0 ? cut - 1 : 0);
  const std::string_view b = all.substr(cut);

  lumora::url_decode(all, true);
  lumora::url_encode(all, data[0] & 1, data[0] & 2);
  lumora::Text old_cookies(a);
  lumora::merge_cookie_text(old_cookies, b);
  lumora::text_between(all, a.substr(0, 4), b.substr(0, 3), data[0] % 7, data[0] & 4);
  lumora::text_before(all, a.substr(0, 2), data[0] % 5, data[0] & 8);
  lumora::header_value(all);
  lumora::text_to_int(all);
  lumora::utf8_to_gbk(all);
  lumora::gbk_to_utf8(all);
  lumora::from_utf16(lumora::ByteArray(all.begin(), all.end()), data[0] & 1 ? 65001 : 0);
  lumora::to_utf16(all, data[0] & 1 ? 65001 : 936);
  return 0;
}
