#include "lumora/net/request_component.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

#include "ascii_case.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

bool valid_name(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 32 || u == 127 || c == ':' || c == ';';
  });
}

bool valid_value(std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos && value.find('\0') == std::string_view::npos;
}

CURL* curl_of(void* handle) { return static_cast<CURL*>(handle); }

}  // namespace

void net_global_init() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

RequestComponent::RequestComponent() {
  net_global_init();
  CURL* curl = curl_easy_init();
  if (!curl) return;
  handle_ = curl;
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");  // never the environment's proxy
  curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // cookies kept in memory, per object
  curl_easy_setopt(curl, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
}

RequestComponent::~RequestComponent() {
  if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
  if (handle_) curl_easy_cleanup(curl_of(handle_));
}

bool RequestComponent::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
  if (!valid() || resolve_ms < 0 || connect_ms < 0 || send_ms < 0 || receive_ms < 0) return false;
  timeouts_ = {std::chrono::milliseconds(resolve_ms), std::chrono::milliseconds(connect_ms),
               std::chrono::milliseconds(send_ms), std::chrono::milliseconds(receive_ms)};
  return true;
}

bool RequestComponent::set_proxy(int setting, const Text& proxy) {
  if (!valid() || setting < 0 || setting > kProxySettingProxy) return false;
  const std::string server = setting == kProxySettingProxy ? gbk_to_utf8(proxy) : std::string();
  return curl_easy_setopt(curl_of(handle_), CURLOPT_PROXY, server.c_str()) == CURLE_OK;
}

bool RequestComponent::set_request_header(const Text& name, const Text& value) {
  if (!valid() || !valid_name(name) || !valid_value(value)) return false;
  const auto same = std::find_if(headers_.begin(), headers_.end(),
                                 [&](const auto& h) { return same_ascii_name(h.first, name); });
  if (same != headers_.end()) {
    same->second = value;
  } else {
    headers_.emplace_back(name, value);
  }
  return true;
}

bool RequestComponent::open(const Text& method, const Text& url) {
  opened_ = false;
  if (!valid() || !valid_name(method)) return false;
  const std::string address = gbk_to_utf8(url);
  const std::string_view view(address);
  const bool http = view.size() > 7 && same_ascii_name(view.substr(0, 7), "http://");
  const bool https = view.size() > 8 && same_ascii_name(view.substr(0, 8), "https://");
  if ((!http && !https) || !valid_value(address) || address.find(' ') != std::string::npos) return false;
  if (curl_easy_setopt(curl_of(handle_), CURLOPT_URL, address.c_str()) != CURLE_OK) return false;
  method_ = method;
  opened_ = true;
  return true;
}

bool RequestComponent::set_option(int index, int value) {
  if (!valid()) return false;
  CURL* curl = curl_of(handle_);
  switch (index) {
    case kOptionSslErrorIgnoreFlags: {
      const bool ignore_peer = (value & (0x0100 | 0x0200 | 0x2000)) != 0;
      const bool ignore_name = (value & 0x1000) != 0;
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, ignore_peer ? 0L : 1L);
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, ignore_name ? 0L : 2L);
      return true;
    }
    case kOptionEnableRedirects:
      curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, value != 0 ? 1L : 0L);
      return true;
    default:
      return false;
  }
}

bool RequestComponent::send(const Text& body) { return perform(body.data(), body.size()); }

bool RequestComponent::send(const ByteArray& body) {
  return perform(reinterpret_cast<const char*>(body.data()), body.size());
}

Text RequestComponent::all_response_headers() const {
  Text out;
  for (const Text& line : header_lines_) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

void RequestComponent::set_body_limit(std::size_t bytes) {
  body_limit_ = std::min(bytes, kMaxAnswerBody);
}

void RequestComponent::reset_answer() {
  body_.clear();
  body_.shrink_to_fit();
  header_lines_.clear();
  status_ = 0;
}

}  // namespace lumora
