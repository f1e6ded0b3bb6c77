#include "lumora/download/answer_head.h"

#include <limits>

namespace lumora {
namespace {

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view trim_blanks(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  return v;
}

// The fields an answer may carry, in the order of `kNames`.
enum Field {
  kContentLength, kContentRange, kVia, kLocation, kAcceptRanges, kConnection, kContentType,
  kSetCookie, kLastModified, kEtag, kServer, kContentDisposition, kTransferEncoding, kFields
};
constexpr std::string_view kNames[kFields] = {
    "Content-Length", "Content-Range", "Via", "Location", "Accept-Ranges",
    "Connection", "Content-Type", "Set-Cookie", "Last-Modified", "ETag", "Server",
    "Content-Disposition", "Transfer-Encoding"};

struct Fields {
  std::string_view value[kFields];
  bool seen[kFields] = {};
  // Every Content-Length value, of every line and list element, read as a
  // number: -1 before the first, kUnreadable once two differ or one is no
  // number.
  std::int64_t length = -1;
  Text text(Field f) const { return Text(value[f]); }
};

constexpr std::int64_t kUnreadable = -2;

// Leading zeros are digits of the same number, however many.
std::int64_t read_length(std::string_view v) {
  v = trim_blanks(v);
  while (v.size() > 1 && v.front() == '0') v.remove_prefix(1);
  return read_size(v);
}

// A proxy may join repeated lines into one list ("5000, 5000"): values
// that agree are one length.
void note_length(Fields& out, std::string_view value) {
  for (;;) {
    const auto comma = value.find(',');
    const std::int64_t n = read_length(value.substr(0, comma));
    if (n < 0 || (out.length >= 0 && n != out.length)) {
      out.length = kUnreadable;
      return;
    }
    out.length = n;
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

// One pass over the lines after the status line: names matched whatever
// their case, values without the blanks around them; the first line of a
// name counts, and every Content-Length must say the same.
Fields read_fields(std::string_view head) {
  Fields out;
  std::size_t pos = head.find('\n');
  while (pos != std::string_view::npos && pos + 1 < head.size()) {
    ++pos;
    const auto eol = head.find('\n', pos);
    std::string_view line = head.substr(pos, eol == std::string_view::npos ? head.npos : eol - pos);
    pos = eol;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    for (int f = 0; f < kFields; ++f) {
      if (!same_name(name, kNames[f])) continue;
      const std::string_view value = trim_blanks(line.substr(colon + 1));
      if (!out.seen[f]) out.value[f] = value;
      if (f == kContentLength && out.length != kUnreadable) note_length(out, value);
      out.seen[f] = true;
      break;
    }
  }
  return out;
}

// The last coding of a Transfer-Encoding value is "chunked".
bool ends_chunked(std::string_view value) {
  const auto comma = value.rfind(',');
  if (comma != std::string_view::npos) value.remove_prefix(comma + 1);
  return same_name(trim_blanks(value), "chunked");
}

int read_status(std::string_view head) {
  if (head.size() < 12) return 0;
  int code = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (head[i] < '0' || head[i] > '9') return 0;
    code = code * 10 + (head[i] - '0');
  }
  return code;
}

}  // namespace

std::int64_t read_size(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > 18) return -1;
  std::int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::size_t answer_head_end(std::string_view bytes) {
  const auto crlf = bytes.find("\r\n\r\n");
  const auto lf = bytes.find("\n\n");
  std::size_t end = 0;
  if (crlf != std::string_view::npos) end = crlf + 4;
  if (lf != std::string_view::npos && (end == 0 || lf + 2 < end)) end = lf + 2;
  return end;
}

AnswerHead parse_answer_head(std::string_view head) {
  AnswerHead a;
  a.status = read_status(head);
  const int s = a.status;
  const Fields f = read_fields(head);
  a.chunked = ends_chunked(f.value[kTransferEncoding]);
  // Which of two lengths is the body's cannot be told, nor the size of one
  // that is no number: neither is taken for a size.
  a.length_bad = f.length == kUnreadable;
  a.content_length = a.length_bad ? -1 : f.length;
  if (s == 200 || s == 301 || s == 302) a.size = a.content_length;
  if (s == 301 || s == 302) a.location = f.text(kLocation);
  if (s == 206) {
    a.content_range = f.text(kContentRange);
    a.via = f.text(kVia);
  }
  if (s == 200 || s == 206 || s == 301 || s == 302) {
    a.accept_ranges = f.text(kAcceptRanges);
    a.connection = f.text(kConnection);
    a.content_type = f.text(kContentType);
    a.set_cookie = f.text(kSetCookie);
    a.last_modified = f.text(kLastModified);
    a.etag = f.text(kEtag);
    a.server = f.text(kServer);
    a.content_disposition = f.text(kContentDisposition);
  }
  return a;
}

std::optional<ContentRange> parse_content_range(std::string_view value) {
  if (value.substr(0, 6) != "bytes ") return std::nullopt;
  value.remove_prefix(6);
  const auto dash = value.find('-');
  const auto slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
    return std::nullopt;
  ContentRange r;
  r.first = read_size(value.substr(0, dash));
  r.last = read_size(value.substr(dash + 1, slash - dash - 1));
  const std::string_view total = value.substr(slash + 1);
  r.total = total == "*" ? -1 : read_size(total);
  if (r.first < 0 || r.last < r.first || (total != "*" && (r.total < 0 || r.last >= r.total)))
    return std::nullopt;
  return r;
}

Text disposition_file_name(std::string_view value) {
  const auto at = value.find("filename=");
  if (at == std::string_view::npos) return {};
  std::string_view name = value.substr(at + 9);
  if (!name.empty() && name.front() == '"') {
    name.remove_prefix(1);
    name = name.substr(0, name.find('"'));
  } else {
    name = name.substr(0, name.find(';'));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  }
  // Only the last part: a server must not steer the file out of the folder.
  const auto sep = name.rfind('/');
  if (sep != std::string_view::npos) name = name.substr(sep + 1);
  if (name == "." || name == "..") return {};
  return Text(name);
}

}  // namespace lumora
