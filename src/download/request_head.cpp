#include "lumora/download/request_head.h"

#include <algorithm>
#include <string>

#include "lumora/text/base64.h"

namespace lumora {

Text referable(std::string_view address) {
  address = address.substr(0, address.find('#'));
  const auto scheme_end = address.find("://");
  if (scheme_end == std::string_view::npos) return Text(address);
  const std::size_t host_at = scheme_end + 3;
  const std::string_view authority = address.substr(host_at, address.find('/', host_at) - host_at);
  const auto at = authority.rfind('@');
  if (at == std::string_view::npos) return Text(address);
  return Text(address.substr(0, host_at)) + Text(address.substr(host_at + at + 1));
}

std::optional<Text> default_referer(std::string_view address) {
  const Text clean = referable(address);
  const auto slash = clean.rfind('/');
  const Text head = clean.substr(0, slash == Text::npos ? 0 : slash);
  if (head.size() > kMaxDefaultReferer) return std::nullopt;
  return head;
}

Text loggable_head(std::string_view head) {
  Text out;
  while (!head.empty()) {
    const auto eol = head.find('\n');
    const std::size_t length = eol == std::string_view::npos ? head.size() : eol + 1;
    std::string_view line = head.substr(0, length);
    head.remove_prefix(length);
    const bool secret =
        line.starts_with("Authorization: ") || line.starts_with("Proxy-Authorization: ");
    if (!secret) {
      out += line;
      continue;
    }
    const auto value = line.find(' ') + 1;
    const auto line_end = std::min(line.find_first_of("\r\n"), line.size());
    const auto scheme_end = line.find(' ', value);
    const auto keep = scheme_end < line_end ? scheme_end + 1 : value;
    out += Text(line.substr(0, keep)) + "******" + Text(line.substr(line_end));
  }
  return out;
}

Text request_head(const RequestHeadInput& in) {
  const Address& a = *in.address;
  const Text whole = a.whole();
  // A fragment belongs to the address, never to the request.
  const Text target = in.via_proxy ? referable(whole) : a.path.substr(0, a.path.find('#'));
  Text head = "GET " + target + " HTTP/1.1\r\n";
  head += "Host: " + a.authority() + "\r\n";
  Text extra;
  if (in.credentials) extra += "Authorization: Basic " + base64_encode(*in.credentials) + "\r\n";
  if (in.range_from) extra += "Range: bytes=" + std::to_string(*in.range_from) + "-\r\n";
  if (in.range_from && in.if_range) extra += "If-Range: " + *in.if_range + "\r\n";
  if (in.cookie) extra += "Cookie: " + *in.cookie + "\r\n";
  if (in.via_proxy) return head + extra + "Proxy-Connection: Keep-Alive\r\n\r\n";
  head += "Accept: */*\r\n";
  const std::optional<Text> referer = in.referer ? in.referer : default_referer(whole);
  if (referer) head += "Referer: " + referable(*referer) + "\r\n";
  head += "User-Agent: " + Text(kUserAgent) + "\r\n";
  head += extra;
  head += "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
  return head;
}

}  // namespace lumora
