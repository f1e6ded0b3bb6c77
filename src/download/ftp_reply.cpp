#include "lumora/download/ftp_reply.h"

#include <string>
#include <string_view>

namespace lumora {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool starts_numbered(std::string_view line) {
  return line.size() >= 4 && is_digit(line[0]) && is_digit(line[1]) && is_digit(line[2]);
}

// Reads a number of at most three digits at `at`, moving past it.
std::optional<int> small_number(std::string_view text, std::size_t& at) {
  int v = 0, digits = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  while (at < text.size() && is_digit(text[at]) && digits < 4) {
    v = v * 10 + (text[at++] - '0');
    ++digits;
  }
  if (digits == 0 || digits > 3) return std::nullopt;
  return v;
}

}  // namespace

std::optional<FtpReply> take_ftp_reply(Text& pending) {
  std::size_t pos = 0;
  std::string_view code;
  for (;;) {
    const auto eol = pending.find('\n', pos);
    if (eol == Text::npos) return std::nullopt;
    std::string_view line(pending.data() + pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = eol + 1;
    if (!starts_numbered(line)) continue;
    if (code.empty()) code = line.substr(0, 3);
    if (line.substr(0, 3) == code && line[3] == ' ') {
      FtpReply r{std::stoi(std::string(code)), Text(line)};
      pending.erase(0, pos);
      return r;
    }
  }
}

std::optional<HostPort> passive_address(const Text& reply) {
  const auto open = reply.find('(');
  if (open == Text::npos) return std::nullopt;
  int v[6];
  std::size_t at = open + 1;
  for (int i = 0; i < 6; ++i) {
    if (i > 0 && (at >= reply.size() || reply[at++] != ',')) return std::nullopt;
    const auto n = small_number(reply, at);
    if (!n || *n > 255) return std::nullopt;
    v[i] = *n;
  }
  HostPort hp;
  hp.host = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
            "." + std::to_string(v[3]);
  hp.port = v[4] * 256 + v[5];
  if (hp.port == 0) return std::nullopt;
  return hp;
}

std::optional<int> extended_passive_port(const Text& reply) {
  const auto open = reply.find('(');
  if (open == Text::npos || open + 4 >= reply.size()) return std::nullopt;
  const char d = reply[open + 1];
  if (d < 33 || d > 126 || is_digit(d) || reply[open + 2] != d || reply[open + 3] != d)
    return std::nullopt;
  std::size_t at = open + 4;
  int port = 0, digits = 0;
  for (; at < reply.size() && is_digit(reply[at]) && digits < 6; ++at, ++digits)
    port = port * 10 + (reply[at] - '0');
  if (digits == 0 || digits > 5 || port < 1 || port > 65535) return std::nullopt;
  if (at + 1 >= reply.size() || reply[at] != d || reply[at + 1] != ')') return std::nullopt;
  return port;
}

}  // namespace lumora
