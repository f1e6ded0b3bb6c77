#include "lumora/text/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace lumora {
namespace {

enum class Encoding { kUtf8, kGbk, kUtf16 };

Encoding encoding_of(int code_page) {
  return code_page == kCodePageUtf8 ? Encoding::kUtf8 : Encoding::kGbk;
}

const char* iconv_name(Encoding e) {
  switch (e) {
    case Encoding::kUtf8: return "UTF-8";
    case Encoding::kGbk: return "GBK";
    case Encoding::kUtf16: return "UTF-16LE";
  }
  return "UTF-8";
}

// Length of the valid UTF-8 sequence at p, or 0 when it is not one.
std::size_t utf8_sequence(const unsigned char* p, std::size_t left) {
  const unsigned char c = p[0];
  std::size_t n;
  std::uint32_t min;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) { n = 2; min = 0x80; }
  else if (c >= 0xE0 && c <= 0xEF) { n = 3; min = 0x800; }
  else if (c >= 0xF0 && c <= 0xF4) { n = 4; min = 0x10000; }
  else return 0;
  if (left < n) return 0;
  std::uint32_t cp = c & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// The bytes of a broken UTF-8 sequence that still fit its lead byte, so that a
// truncated character gives one "?" (the usual "maximal subpart" practice).
std::size_t utf8_maximal_subpart(const unsigned char* p, std::size_t left) {
  const unsigned char c = p[0];
  std::size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                : c >= 0xF0 && c <= 0xF4 ? 4 : 1;
  std::size_t i = 1;
  for (; i < n && i < left; ++i) {
    unsigned char lo = 0x80, hi = 0xBF;
    if (i == 1) {
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    }
    if (p[i] < lo || p[i] > hi) break;
  }
  return i;
}

// How many source bytes to pass over at a sequence iconv refused: the whole
// character when it is valid but unmappable, else the smallest unit.
std::size_t skip_length(Encoding from, const unsigned char* p, std::size_t left) {
  switch (from) {
    case Encoding::kUtf8: {
      const std::size_t n = utf8_sequence(p, left);
      return n == 0 ? utf8_maximal_subpart(p, left) : n;
    }
    case Encoding::kGbk:
      if (left >= 2 && p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x40 && p[1] <= 0xFE &&
          p[1] != 0x7F)
        return 2;
      return 1;
    case Encoding::kUtf16: {
      if (left < 2) return left;
      const unsigned unit = p[0] | (p[1] << 8);
      if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
        const unsigned next = p[2] | (p[3] << 8);
        if (next >= 0xDC00 && next <= 0xDFFF) return 4;
      }
      return 2;
    }
  }
  return 1;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// One descriptor per direction and thread: iconv_open is far dearer than a
// conversion of a short text.
iconv_t descriptor(Encoding from, Encoding to) {
  thread_local std::map<std::pair<Encoding, Encoding>, IconvHandle> cache;
  auto& slot = cache[{from, to}];
  if (!slot) {
    iconv_t cd = iconv_open(iconv_name(to), iconv_name(from));
    if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
    slot.reset(cd);
  }
  iconv(static_cast<iconv_t>(slot.get()), nullptr, nullptr, nullptr, nullptr);
  return static_cast<iconv_t>(slot.get());
}

// Room for the whole result in most texts: GBK is never longer than the
// UTF-8 it comes from and at most two thirds of what it becomes. Reserved
// room the result does not use is never touched, so it costs no memory.
std::size_t likely_size(std::size_t in, Encoding from, Encoding to) {
  if (from == Encoding::kUtf8 && to == Encoding::kGbk) return in;
  if (from == Encoding::kGbk && to == Encoding::kUtf8) return in + in / 2;
  return in * 2;
}

// Converts through a small buffer appended to the result, so a long text
// touches no more memory than its result needs.
std::string convert(std::string_view in, Encoding from, Encoding to) {
  std::string out;
  if (in.empty()) return out;
  iconv_t cd = descriptor(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  const std::string_view question = to == Encoding::kUtf16 ? std::string_view("?\0", 2) : "?";

  out.reserve(likely_size(in.size(), from, to));
  char chunk[1 << 16];
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = chunk;
    std::size_t dst_left = sizeof chunk;
    const std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    const int error = errno;
    out.append(chunk, sizeof chunk - dst_left);
    if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    out.append(question);
    if (error != EILSEQ) break;  // EINVAL: truncated last character
    const std::size_t skip =
        skip_length(from, reinterpret_cast<const unsigned char*>(src), src_left);
    src += skip;
    src_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

// Texts are C strings at the converter boundary: a zero byte ends them.
std::string_view up_to_zero(std::string_view text) {
  const std::size_t zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

}  // namespace

std::u16string decode_to_utf16(std::string_view text, int code_page) {
  const std::string bytes = convert(up_to_zero(text), encoding_of(code_page), Encoding::kUtf16);
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

Text encode_from_utf16(std::u16string_view units, int code_page) {
  const std::size_t zero = units.find(u'\0');
  if (zero != std::u16string_view::npos) units = units.substr(0, zero);
  std::string bytes(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return convert(bytes, Encoding::kUtf16, encoding_of(code_page));
}

ByteArray to_utf16(std::string_view text, int code_page) {
  std::string bytes = convert(up_to_zero(text), encoding_of(code_page), Encoding::kUtf16);
  bytes.append(2, '\0');
  return ByteArray(bytes.begin(), bytes.end());
}

Text from_utf16(const ByteArray& bytes, int code_page) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return encode_from_utf16(units, code_page);
}

Text utf8_to_gbk(std::string_view text) {
  return convert(up_to_zero(text), Encoding::kUtf8, Encoding::kGbk);
}

Text gbk_to_utf8(std::string_view text) {
  return convert(up_to_zero(text), Encoding::kGbk, Encoding::kUtf8);
}

Text gbk(std::u8string_view utf8) {
  return utf8_to_gbk(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

}  // namespace lumora
