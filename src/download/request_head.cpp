#include "lumora/download/request_head.h"

#include <string>

namespace lumora {

std::optional<Text> default_referer(std::string_view address) {
  const auto slash = address.rfind('/');
  const std::string_view head = address.substr(0, slash == std::string_view::npos ? 0 : slash);
  if (head.size() > kMaxDefaultReferer) return std::nullopt;
  return Text(head);
}

Text request_head(const RequestHeadInput& in) {
  const Address& a = *in.address;
  const Text whole = a.whole();
  Text head = "GET " + (in.via_proxy ? whole : a.path) + " HTTP/1.1\r\n";
  head += "Host: " + a.host_part + "\r\n";
  Text extra;
  if (in.range_from) extra += "Range: bytes=" + std::to_string(*in.range_from) + "-\r\n";
  if (in.range_from && in.if_range) extra += "If-Range: " + *in.if_range + "\r\n";
  if (in.cookie) extra += "Cookie: " + *in.cookie + "\r\n";
  if (in.via_proxy) return head + extra + "Proxy-Connection: Keep-Alive\r\n\r\n";
  head += "Accept: */*\r\n";
  const std::optional<Text> referer = in.referer ? in.referer : default_referer(whole);
  if (referer) head += "Referer: " + *referer + "\r\n";
  head += "User-Agent: " + Text(kUserAgent) + "\r\n";
  head += extra;
  head += "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
  return head;
}

}  // namespace lumora
