#include "lumora/json/script_string.h"

#include <cstdint>

namespace lumora::json {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `count` hex digits at body[i]; -1 when they are not all there.
long hex_value(std::string_view body, std::size_t i, std::size_t count) {
  if (i + count > body.size()) return -1;
  long v = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const int d = hex_digit(body[i + k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// U+2028 and U+2029 end a line like LF and CR; returns their byte length.
std::size_t line_break_at(std::string_view body, std::size_t i) {
  if (body[i] == '\n' || body[i] == '\r') return 1;
  if (body.substr(i, 3) == "\xE2\x80\xA8" || body.substr(i, 3) == "\xE2\x80\xA9") return 3;
  return 0;
}

bool is_high_surrogate(long u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(long u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Reads the escape whose backslash is at body[i - 1]; advances `i` past it.
bool read_escape(std::string_view body, std::size_t& i, std::string& out) {
  if (i >= body.size()) return false;  // the backslash escapes the closing quote
  if (const std::size_t n = line_break_at(body, i)) {
    i += n;
    if (n == 1 && body[i - 1] == '\r' && i < body.size() && body[i] == '\n') ++i;
    return true;
  }
  const char c = body[i++];
  switch (c) {
    case 'b': out.push_back('\b'); return true;
    case 'f': out.push_back('\f'); return true;
    case 'n': out.push_back('\n'); return true;
    case 'r': out.push_back('\r'); return true;
    case 't': out.push_back('\t'); return true;
    case 'v': out.push_back('\v'); return true;
    case 'x': {
      const long v = hex_value(body, i, 2);
      if (v < 0) return false;
      i += 2;
      append_utf8(out, static_cast<std::uint32_t>(v));
      return true;
    }
    case 'u': {
      long v = hex_value(body, i, 4);
      if (v < 0) return false;
      i += 4;
      if (is_high_surrogate(v) && body.substr(i, 2) == "\\u") {
        const long low = hex_value(body, i + 2, 4);
        if (is_low_surrogate(low)) {
          v = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
        }
      }
      append_utf8(out, is_high_surrogate(v) || is_low_surrogate(v) ? 0xFFFD : static_cast<std::uint32_t>(v));
      return true;
    }
    default: break;
  }
  if (c >= '0' && c <= '7') {  // legacy octal: up to three digits, at most \377
    std::uint32_t v = static_cast<std::uint32_t>(c - '0');
    const std::size_t most = c <= '3' ? 2 : 1;
    for (std::size_t k = 0; k < most && i < body.size() && body[i] >= '0' && body[i] <= '7'; ++k)
      v = v * 8 + static_cast<std::uint32_t>(body[i++] - '0');
    append_utf8(out, v);
    return true;
  }
  --i;  // any other character stands for itself, whole
  const auto lead = static_cast<unsigned char>(body[i]);
  const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  out.append(body.substr(i, len));
  i += len;
  return true;
}

}  // namespace

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::optional<std::string> read_script_string(std::string_view body, char quote) {
  std::string out;
  out.reserve(body.size());
  std::size_t i = 0;
  while (i < body.size()) {
    const std::size_t run = i;
    while (i < body.size() && body[i] != '\\' && body[i] != quote && !line_break_at(body, i)) ++i;
    out.append(body, run, i - run);
    if (i == body.size()) break;
    if (body[i] != '\\') return std::nullopt;
    ++i;
    if (!read_escape(body, i, out)) return std::nullopt;
  }
  return out;
}

}  // namespace lumora::json
