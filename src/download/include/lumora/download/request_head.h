// The head of one HTTP GET of a download connection.
#pragma once

#include <cstdint>
#include <optional>

#include "lumora/download/address.h"
#include "lumora/text/text.h"

namespace lumora {

inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";
inline constexpr std::size_t kMaxDefaultReferer = 1024;

struct RequestHeadInput {
  const Address* address = nullptr;
  std::optional<Text> referer;            // the task's; none: default rule
  std::optional<std::int64_t> range_from; // a piece request: "Range: bytes=N-"
  std::optional<Text> cookie;             // after a redirect
  std::optional<Text> if_range;           // with range_from: "If-Range: V"
  // "user:password", sent as Authorization: Basic; only to the origin
  // whose address carried it.
  std::optional<Text> credentials;
  bool via_proxy = false;
};

// Without a proxy: GET path, Host, Accept, Referer, User-Agent, then
// Authorization, the Range (and If-Range) and/or Cookie line, Pragma,
// Cache-Control, Connection: close, empty line. Through a proxy: GET with
// the whole address, Host, Authorization, Range, Cookie, Proxy-Connection.
// Lines end in CR LF. Neither Host, Referer nor the proxy's GET line carry
// user information; neither Referer nor GET carries a fragment.
Text request_head(const RequestHeadInput& in);

// The address up to (not including) its last "/", as referable() gives
// it, or none when that is longer than kMaxDefaultReferer bytes.
std::optional<Text> default_referer(std::string_view address);

// An address without "user[:password]@" and without its fragment.
Text referable(std::string_view address);

// A request head as a log may show it: the value of an Authorization or
// Proxy-Authorization line after its scheme word is "******".
Text loggable_head(std::string_view head);

}  // namespace lumora
