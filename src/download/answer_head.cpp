#include "lumora/download/answer_head.h"

#include <limits>

namespace lumora {
namespace {

// Value of the field `name` ("Name: ") at a line start, to the end of line.
std::optional<Text> field(std::string_view head, std::string_view name) {
  std::size_t pos = 0;
  while (pos < head.size()) {
    const auto eol = head.find('\n', pos);
    const std::string_view line =
        head.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
    if (line.substr(0, name.size()) == name) {
      std::string_view value = line.substr(name.size());
      if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
      return Text(value);
    }
    if (eol == std::string_view::npos) break;
    pos = eol + 1;
  }
  return std::nullopt;
}

Text field_or(std::string_view head, std::string_view name, std::string_view second = {}) {
  if (auto v = field(head, name)) return *v;
  if (!second.empty())
    if (auto v = field(head, second)) return *v;
  return {};
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
  a.content_length = read_size(field_or(head, "Content-Length: ", "Content-length: "));
  if (s == 200 || s == 301 || s == 302) a.size = a.content_length;
  if (s == 301 || s == 302) a.location = field_or(head, "Location: ");
  if (s == 206) {
    a.content_range = field_or(head, "Content-Range: ", "Content-range: ");
    a.via = field_or(head, "Via: ");
  }
  if (s == 200 || s == 206 || s == 301 || s == 302) {
    a.accept_ranges = field_or(head, "Accept-Ranges: ");
    a.connection = field_or(head, "Connection: ");
    a.content_type = field_or(head, "Content-Type: ", "Content-type: ");
    a.set_cookie = field_or(head, "Set-Cookie: ", "Set-cookie: ");
    a.last_modified = field_or(head, "Last-Modified: ");
    a.etag = field_or(head, "ETag: ", "Etag: ");
    a.server = field_or(head, "Server: ");
    a.content_disposition = field_or(head, "Content-Disposition: ", "Content-disposition: ");
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
