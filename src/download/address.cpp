#include "lumora/download/address.h"

#include <cctype>

namespace lumora {
namespace {

struct Prefix {
  char first;
  int follow_count;
  int follow_sum;
  Scheme scheme;
  int port;
};

// In the order they are tried.
constexpr Prefix kPrefixes[] = {
    {'h', 6, 496, Scheme::kHttp, 80},  {'f', 5, 380, Scheme::kFtp, 21},
    {'m', 5, 376, Scheme::kMms, 1755}, {'m', 6, 492, Scheme::kMms, 1755},
    {'r', 6, 495, Scheme::kRtsp, 554},
};

bool matches(std::string_view lower, const Prefix& p) {
  if (lower.size() < static_cast<std::size_t>(p.follow_count) + 1 || lower[0] != p.first)
    return false;
  int sum = 0;
  for (int i = 1; i <= p.follow_count; ++i) sum += static_cast<unsigned char>(lower[i]);
  return sum == p.follow_sum;
}

// Digits only, 1..65535; 0 otherwise.
int read_port(std::string_view text) {
  if (text.empty() || text.size() > 5) return 0;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + (c - '0');
  }
  return port <= 65535 ? port : 0;
}

// Splits "host", "host:port", "[v6]" or "[v6]:port"; the port text stays
// empty when none is written. False on a bracket left open or followed by
// anything but a port.
bool split_host_port(std::string_view text, std::string_view& host, std::string_view& port,
                     bool& has_port) {
  std::size_t host_end = text.find(':');
  if (!text.empty() && text[0] == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return false;
    host = text.substr(1, close - 1);
    host_end = close + 1;
    if (host_end < text.size() && text[host_end] != ':') return false;
  } else {
    host = text.substr(0, host_end);
  }
  has_port = host_end < text.size();
  if (has_port) port = text.substr(host_end + 1);
  return true;
}

// Fills host, port and user from the host part; false when unusable.
bool read_host_part(Address& a, int default_port) {
  std::string_view part = a.host_part;
  std::string_view host_and_port = part;
  a.port = default_port;
  const auto at = part.rfind('@');
  if (at != std::string_view::npos) {
    std::string_view user = part.substr(0, at);
    const auto colon = user.find(':');
    a.user = Text(user.substr(0, colon));
    if (colon != std::string_view::npos) a.password = Text(user.substr(colon + 1));
    a.has_user = true;
    host_and_port = part.substr(at + 1);
  }
  std::string_view host, port;
  bool has_port = false;
  if (!split_host_port(host_and_port, host, port, has_port)) return false;
  if (has_port) a.port = read_port(port);
  a.host = Text(host);
  return !a.host.empty() && a.port != 0;
}

const char* prefix_text(Scheme s) {
  switch (s) {
    case Scheme::kHttp: return "http://";
    case Scheme::kHttps: return "https://";
    case Scheme::kFtp: return "ftp://";
    case Scheme::kMms: return "mms://";
    case Scheme::kRtsp: return "rtsp://";
  }
  return "http://";
}

std::optional<Address> cut_address(std::string_view address, std::size_t offset, Scheme scheme,
                                   int port) {
  const auto slash = address.find('/', offset);
  if (slash == std::string_view::npos) return std::nullopt;
  Address a;
  a.scheme = scheme;
  a.host_part = Text(address.substr(offset, slash - offset));
  a.path = Text(address.substr(slash));
  if (!read_host_part(a, port)) return std::nullopt;
  return a;
}

Text lower_case(std::string_view text) {
  Text lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

constexpr std::string_view kHttpsPrefix = "https://";

}  // namespace

Text Address::whole() const { return prefix_text(scheme) + host_part + path; }

Text Address::authority() const {
  const auto at = host_part.rfind('@');
  return at == Text::npos ? host_part : host_part.substr(at + 1);
}

Text percent_decoded(std::string_view text) {
  const auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Text out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? hex(text[i + 1]) : -1;
    const int low = high >= 0 ? hex(text[i + 2]) : -1;
    if (low < 0) {
      out += text[i];
      continue;
    }
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool same_origin(const Address& a, const Address& b) {
  if (a.scheme != b.scheme || a.port != b.port || a.host.size() != b.host.size()) return false;
  for (std::size_t i = 0; i < a.host.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a.host[i])) !=
        std::tolower(static_cast<unsigned char>(b.host[i])))
      return false;
  return true;
}

std::optional<Address> parse_address(std::string_view address) {
  // A line break would let an address write its own request lines.
  for (char c : address)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
  const Text lower = lower_case(address);
  if (lower.starts_with(kHttpsPrefix))
    return cut_address(address, kHttpsPrefix.size(), Scheme::kHttps, 443);
  for (const Prefix& p : kPrefixes)
    if (matches(lower, p))
      return cut_address(address, static_cast<std::size_t>(p.follow_count) + 1, p.scheme, p.port);
  return std::nullopt;
}

std::optional<Address> resolve_location(const Address& current, std::string_view location) {
  if (location.empty()) return std::nullopt;
  const Text lower = lower_case(location.substr(0, kHttpsPrefix.size()));
  if (lower.starts_with("ftp://")) return std::nullopt;
  if (lower.starts_with("http://") || lower.starts_with(kHttpsPrefix)) {
    auto a = parse_address(location);
    if (!a || !is_http(a->scheme)) return std::nullopt;
    return a;
  }
  if (location.find("://") != std::string_view::npos) return std::nullopt;
  Address a = current;
  if (location[0] == '/') {
    a.path = Text(location);
  } else {
    const auto dir_end = current.path.rfind('/');
    a.path = current.path.substr(0, dir_end + 1) + Text(location);
  }
  return a;
}

}  // namespace lumora
