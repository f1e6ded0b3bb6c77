#include "lumora/net/http_request.h"

#include <array>

#include "lumora/text/base64.h"
#include "lumora/net/com_apartment.h"
#include "lumora/net/cookie_text.h"
#include "lumora/net/header_text.h"

namespace lumora {
namespace {

constexpr std::array<const char*, 8> kMethods = {"GET",     "POST",  "HEAD",  "PUT",
                                                 "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kDefaultTimeoutMs = 15000;

void set_timeouts(RequestComponent& request, int timeout_seconds) {
  if (timeout_seconds == -1) return;
  const int ms = timeout_seconds < 1 ? kDefaultTimeoutMs : timeout_seconds * 1000;
  request.set_timeouts(ms, ms, ms, ms);
}

void set_proxy(RequestComponent& request, const HttpRequestArgs& args) {
  const Text proxy = args.proxy.value_or(Text());
  if (proxy.empty()) return;
  request.set_proxy(kProxySettingProxy, proxy);
  const Text user = args.proxy_user.value_or(Text());
  if (user.empty() || args.proxy_auth_mode.value_or(1) != 1) return;
  const Text credentials = user + ":" + args.proxy_password.value_or(Text());
  request.set_request_header("Proxy-Authorization", "Basic " + base64_encode(credentials));
}

void hand_over_headers(RequestComponent& request, const Text& headers) {
  for (const Text& line : split_text(headers, "\r\n")) {
    if (!line.empty()) request.set_request_header(header_name(line), header_value(line));
  }
}

void send_body(RequestComponent& request, const HttpRequestArgs& args) {
  if (args.body_bytes && !args.body_bytes->empty()) {
    request.send(*args.body_bytes);
  } else {
    request.send(args.body.value_or(Text()));
  }
}

void add_line(Text& headers, const Text& line) {
  headers += headers.empty() ? line : "\r\n" + line;
}

}  // namespace

Text complete_request_headers(const Text& headers, const Text& url, int method) {
  Text out = headers;
  if (!contains_text(out, "Accept:")) add_line(out, "Accept: */*");
  if (!contains_text(out, "Referer:")) out += "\r\nReferer: " + url;
  if (!contains_text(out, "Accept-Language:")) out += "\r\nAccept-Language: zh-cn";
  if (!contains_text(out, "User-Agent:"))
    out += "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
  if (method == 1 && !contains_text(out, "Content-Type:"))
    out += "\r\nContent-Type: application/x-www-form-urlencoded";
  return out;
}

Text collect_response_cookies(const Text& headers_out) {
  Text cookies;
  for (const Text& line : split_text(headers_out, "\r\n")) {
    if (text_before(line, ": ") != "Set-Cookie") continue;
    const Text item = contains_text(line, ";") ? text_between(line, "Set-Cookie:", ";")
                                               : replace_all(line, "Set-Cookie:", "", true);
    cookies += trim_spaces(item) + "; ";
  }
  if (cookies.size() >= 2) cookies.resize(cookies.size() - 2);
  return cookies;
}

ByteArray http_request(const Text& url, const HttpRequestArgs& args) {
  co_initialize();
  int method = args.method.value_or(0);
  if (method < 0 || method > 7) method = 0;

  std::optional<RequestComponent> own;
  RequestComponent* request = args.shared_request;
  if (!request) {
    own.emplace();
    if (!own->valid()) {
      co_uninitialize();
      return {};
    }
    request = &*own;
  }

  set_timeouts(*request, args.timeout_seconds.value_or(0));
  set_proxy(*request, args);
  request->open(kMethods[method], url);
  if (args.no_redirect.value_or(false)) request->set_option(kOptionEnableRedirects, 0);
  request->set_option(kOptionSslErrorIgnoreFlags, kSslIgnoreAll);

  const Text headers = complete_request_headers(args.headers ? *args.headers : Text(), url, method);
  if (args.headers) *args.headers = headers;
  if (args.cookies) request->set_request_header("Cookie", *args.cookies);
  hand_over_headers(*request, headers);
  send_body(*request, args);

  ByteArray body = request->take_response_body();
  const Text headers_out = request->all_response_headers();
  if (args.headers_out) *args.headers_out = headers_out;
  if (args.status_out) *args.status_out = request->status();

  Text cookies_out = collect_response_cookies(headers_out);
  if (args.merge_cookies.value_or(true) && args.cookies)
    cookies_out = merge_cookie_text(*args.cookies, cookies_out);
  if (args.cookies_out) *args.cookies_out = cookies_out;

  own.reset();
  co_uninitialize();
  return body;
}

}  // namespace lumora
