// Feeds arbitrary bytes to the address parser and to the resolution of a
// redirect's Location against a parsed address.
//
// Input: an address, then "\n", then a Location.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lumora/download/address.h"

namespace {

void check(const lumora::Address& a) {
  if (a.port < 1 || a.port > 65535 || a.host.empty()) std::abort();
  if (a.path.empty() || a.path[0] != '/') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const auto cut = all.find('\n');
  const std::string_view first = all.substr(0, cut);
  const std::string_view location =
      cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1);
  const auto a = lumora::parse_address(first);
  if (!a) return 0;
  check(*a);
  // The address it gives back reads the same way again.
  const auto again = lumora::parse_address(a->whole());
  if (!again || again->host != a->host || again->port != a->port || again->path != a->path)
    std::abort();
  if (const auto next = lumora::resolve_location(*a, location)) {
    check(*next);
    // Only HTTP answers redirect: from there, never to FTP.
    if (lumora::is_http(a->scheme) && !lumora::is_http(next->scheme)) std::abort();
  }
  return 0;
}
