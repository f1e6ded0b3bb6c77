// One synchronous HTTP request with default header lines, cookies and proxy
// support, over a RequestComponent.
#pragma once

#include <optional>

#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

// The optional parameters, in their documented order; fill them with
// designated initialisers: http_request(url, {.headers = &h, .status_out = &s}).
// Pointers are the in/out and out parameters: nullptr means "not given",
// otherwise the call writes through them. The caller keeps ownership.
struct HttpRequestArgs {
  std::optional<int> method{};      // 0 GET (default), 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS,
                                  // 5 DELETE, 6 TRACE, 7 CONNECT; others count as 0
  std::optional<Text> body{};       // sent when body_bytes is empty
  Text* cookies = nullptr;        // in/out: sent as "Cookie" whenever given, even empty
  Text* cookies_out = nullptr;    // out: the answer's cookies, "a=1; b=2"
  Text* headers = nullptr;        // in/out: extra lines "Name: value" joined by "\r\n";
                                  // on return completed with the default lines
  Text* headers_out = nullptr;    // out: the answer's header lines joined by "\r\n"
  int* status_out = nullptr;      // out: the answer's status, 0 when none came
  std::optional<bool> no_redirect{};          // default false
  std::optional<ByteArray> body_bytes{};      // sent instead of body when not empty
  std::optional<Text> proxy{};                // "host:port"; empty: no proxy
  std::optional<int> timeout_seconds{};       // per phase; -1 keeps the component's own,
                                            // below 1 means 15
  std::optional<Text> proxy_user{};
  std::optional<Text> proxy_password{};
  std::optional<int> proxy_auth_mode{};       // 1 (default): Basic Proxy-Authorization
  RequestComponent* shared_request = nullptr;  // used instead of a new component
  std::optional<bool> merge_cookies{};        // default true
};

// The response body exactly as received; empty when none came. Never
// throws: a request that fails (no such host, refused, timed out, TLS
// failure, malformed address) gives an empty body, status 0 and empty
// headers_out within its time-outs. An HTTP error status is no failure.
// Thread-safe for calls on different threads (a shared_request belongs to
// the calling thread).
ByteArray http_request(const Text& url, const HttpRequestArgs& args = {});

// The header text completed with the default lines (Accept, Referer,
// Accept-Language, User-Agent; Content-Type for `method` 1), each added
// when a case-sensitive search of the text does not find its name.
Text complete_request_headers(const Text& headers, const Text& url, int method);

// The cookie items of the answer's "Set-Cookie" lines, joined by "; ".
Text collect_response_cookies(const Text& headers_out);

}  // namespace lumora
