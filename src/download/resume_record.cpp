#include "lumora/download/resume_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace lumora {
namespace {

constexpr std::string_view kMagic = "lumora-part 1\n";
constexpr std::size_t kMaxSegments = 1 << 20;

std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::optional<Text> unhex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  Text out;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    const auto r = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (r.ec != std::errc() || r.ptr != text.data() + i + 2) return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

// Reads lines off the front of a text, each ending in "\n".
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  std::optional<std::string_view> next() {
    const auto eol = rest_.find('\n');
    if (eol == std::string_view::npos) return std::nullopt;
    const std::string_view line = rest_.substr(0, eol);
    rest_.remove_prefix(eol + 1);
    return line;
  }
  // The value after "key " on the next line.
  std::optional<std::string_view> field(std::string_view key) {
    const auto line = next();
    if (!line || line->size() < key.size() + 1 || line->substr(0, key.size()) != key ||
        (*line)[key.size()] != ' ')
      return std::nullopt;
    return line->substr(key.size() + 1);
  }
  bool at_end() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

std::optional<std::int64_t> number(std::string_view text) {
  std::int64_t n = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || n < 0) return std::nullopt;
  return n;
}

std::optional<RecordedSegment> segment_line(std::string_view line) {
  const auto a = line.find(' ');
  const auto b = line.find(' ', a == std::string_view::npos ? a : a + 1);
  if (a == std::string_view::npos || b == std::string_view::npos) return std::nullopt;
  const auto start = number(line.substr(0, a));
  const auto length = number(line.substr(a + 1, b - a - 1));
  const auto received = number(line.substr(b + 1));
  if (!start || !length || !received || *received > *length) return std::nullopt;
  return RecordedSegment{*start, *length, *received};
}

// The segments, sorted by start, must cover [0, size) without gap or overlap.
bool tiles(std::vector<RecordedSegment> segments, std::int64_t size) {
  std::sort(segments.begin(), segments.end(),
            [](const RecordedSegment& x, const RecordedSegment& y) { return x.start < y.start; });
  std::int64_t at = 0;
  for (const RecordedSegment& s : segments) {
    if (s.start != at || s.length > size - at) return false;
    at += s.length;
  }
  return at == size;
}

std::optional<ResumeRecord> decode_body(std::string_view body) {
  Lines lines(body);
  ResumeRecord r;
  const auto address = lines.field("address");
  const auto size = lines.field("size");
  const auto etag = lines.field("etag");
  const auto modified = lines.field("last-modified");
  const auto count = lines.field("segments");
  if (!address || !size || !etag || !modified || !count) return std::nullopt;
  const auto a = unhex(*address), e = unhex(*etag), m = unhex(*modified);
  const auto s = number(*size), n = number(*count);
  if (!a || !e || !m || !s || !n || *n == 0 || static_cast<std::uint64_t>(*n) > kMaxSegments)
    return std::nullopt;
  r.address = *a;
  r.etag = *e;
  r.last_modified = *m;
  r.size = *s;
  for (std::int64_t i = 0; i < *n; ++i) {
    const auto line = lines.next();
    const auto seg = line ? segment_line(*line) : std::nullopt;
    if (!seg) return std::nullopt;
    r.segments.push_back(*seg);
  }
  if (!lines.at_end() || !tiles(r.segments, r.size)) return std::nullopt;
  return r;
}

}  // namespace

std::int64_t ResumeRecord::received_total() const {
  std::int64_t total = 0;
  for (const RecordedSegment& s : segments) total += s.received;
  return total;
}

std::string encode_record(const ResumeRecord& record) {
  std::string body;
  body += "address " + hex(record.address) + "\n";
  body += "size " + std::to_string(record.size) + "\n";
  body += "etag " + hex(record.etag) + "\n";
  body += "last-modified " + hex(record.last_modified) + "\n";
  body += "segments " + std::to_string(record.segments.size()) + "\n";
  for (const RecordedSegment& s : record.segments)
    body += std::to_string(s.start) + " " + std::to_string(s.length) + " " +
            std::to_string(s.received) + "\n";
  const std::string text = std::string(kMagic) + body;
  char check[32];
  std::snprintf(check, sizeof check, "check %016llx\n",
                static_cast<unsigned long long>(fnv1a(text)));
  return text + check;
}

std::optional<ResumeRecord> decode_record(std::string_view bytes) {
  if (bytes.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  constexpr std::size_t kCheckLine = 23;  // "check " + 16 hex digits + "\n"
  if (bytes.size() < kMagic.size() + kCheckLine) return std::nullopt;
  const std::string_view text = bytes.substr(0, bytes.size() - kCheckLine);
  const std::string_view check = bytes.substr(bytes.size() - kCheckLine);
  char want[32];
  std::snprintf(want, sizeof want, "check %016llx\n",
                static_cast<unsigned long long>(fnv1a(text)));
  if (check != want) return std::nullopt;
  return decode_body(text.substr(kMagic.size()));
}

}  // namespace lumora
