// Reading a download address: scheme, host part, port and path.
#pragma once

#include <optional>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

enum class Scheme { kHttp, kHttps, kFtp, kMms, kRtsp };

// HTTP, over TLS or not: the schemes the HTTP exchange speaks.
inline bool is_http(Scheme s) { return s == Scheme::kHttp || s == Scheme::kHttps; }

struct Address {
  Scheme scheme = Scheme::kHttp;
  Text host_part;  // as written between the prefix and the path
  Text host;       // the name to resolve: no user part, no port, no brackets
  int port = 80;
  Text path;       // from the "/" after the host part to the end
  Text user;       // "user[:password]@" when given (FTP)
  Text password;
  bool has_user = false;

  // Prefix + host part + path: the address as first given.
  Text whole() const;
  // The host part without "user[:password]@": what Host: carries.
  Text authority() const;
};

// `text` with each "%" and two hex digits replaced by the byte they name;
// any other "%" stays as it stands. User information is written this way.
Text percent_decoded(std::string_view text);

// Same scheme, host (whatever its case) and port: where an address's
// credentials may go.
bool same_origin(const Address& a, const Address& b);

// The scheme is recognised on a lower-cased copy: "https://" as it is
// written, the others by their first character and the sum of the
// character codes that follow (http:// ftp:// mms:// mmst:// rtsp://). The
// port is the scheme's unless the host part gives one, with or without user
// information before it. An IPv6 host is written in brackets
// ("http://[::1]:8080/a"). Empty when the address is not accepted: another
// scheme, no "/" after the host, an empty host, an unclosed bracket or
// anything but a port after it, a port
// outside 1..65535, or a control character anywhere.
std::optional<Address> parse_address(std::string_view address);

// The Location of a redirect against the address that answered: "http://..."
// and "https://..." as they stand, anything else relative to the directory
// of the current path ("/x" from the root). Empty when the result is not
// accepted or is FTP.
std::optional<Address> resolve_location(const Address& current, std::string_view location);

}  // namespace lumora
