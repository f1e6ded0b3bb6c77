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

// Fills host, port and user from the host part; false when unusable.
bool read_host_part(Address& a, int default_port) {
  std::string_view part = a.host_part;
  std::string_view host = part;
  a.port = default_port;
  const auto at = part.rfind('@');
  if (at != std::string_view::npos) {
    std::string_view user = part.substr(0, at);
    const auto colon = user.find(':');
    a.user = Text(user.substr(0, colon));
    if (colon != std::string_view::npos) a.password = Text(user.substr(colon + 1));
    a.has_user = true;
    host = part.substr(at + 1);
  }
  const auto colon = host.find(':');
  if (colon != std::string_view::npos) {
    a.port = read_port(host.substr(colon + 1));
    host = host.substr(0, colon);
  }
  a.host = Text(host);
  return !a.host.empty() && a.port != 0;
}

const char* prefix_text(Scheme s) {
  switch (s) {
    case Scheme::kHttp: return "http://";
    case Scheme::kFtp: return "ftp://";
    case Scheme::kMms: return "mms://";
    case Scheme::kRtsp: return "rtsp://";
  }
  return "http://";
}

}  // namespace

Text Address::whole() const { return prefix_text(scheme) + host_part + path; }

Text Address::authority() const {
  const auto at = host_part.rfind('@');
  return at == Text::npos ? host_part : host_part.substr(at + 1);
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
  Text lower(address);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const Prefix& p : kPrefixes) {
    if (!matches(lower, p)) continue;
    const std::size_t offset = static_cast<std::size_t>(p.follow_count) + 1;
    const auto slash = address.find('/', offset);
    if (slash == std::string_view::npos) return std::nullopt;
    Address a;
    a.scheme = p.scheme;
    a.host_part = Text(address.substr(offset, slash - offset));
    a.path = Text(address.substr(slash));
    if (!read_host_part(a, p.port)) return std::nullopt;
    return a;
  }
  return std::nullopt;
}

std::optional<Address> resolve_location(const Address& current, std::string_view location) {
  if (location.empty()) return std::nullopt;
  Text lower(location.substr(0, 7));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.rfind("ftp://", 0) == 0) return std::nullopt;
  if (lower == "http://") {
    auto a = parse_address(location);
    if (!a || a->scheme != Scheme::kHttp) return std::nullopt;
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
