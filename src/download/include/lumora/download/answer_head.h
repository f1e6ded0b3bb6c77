// Reading the head of an HTTP answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// Longest answer head accepted, empty line included.
inline constexpr std::size_t kMaxAnswerHead = 4097;

struct ContentRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::int64_t total = -1;  // -1 for "*"
};

struct AnswerHead {
  int status = 0;             // the three characters at offsets 9 to 11
  std::int64_t size = -1;     // Content-Length with 200, 301, 302; -1 when missing
  std::int64_t content_length = -1;  // Content-Length whatever the status
  // Content-Length values (lines, or elements of a list) that differ, or
  // one that is not a plain decimal number: the answer cannot be read, and
  // gives no size. Values that agree ("5000, 5000"; "5000" and "05000")
  // are one length.
  bool length_bad = false;
  bool chunked = false;  // the body comes in chunks (Transfer-Encoding ends "chunked")
  Text content_range, via, location, accept_ranges, connection, content_type,
      set_cookie, last_modified, server, content_disposition, etag;
};

// End of the head in `bytes` (the offset just past the empty line), or 0
// when the empty line has not arrived yet.
std::size_t answer_head_end(std::string_view bytes);

// Parses a complete head. Field names are matched at line starts whatever
// their case; values lose the blanks around them; the first line of a name
// counts (Content-Length values must all agree: length_bad).
AnswerHead parse_answer_head(std::string_view head);

// "bytes first-last/total"; empty when malformed.
std::optional<ContentRange> parse_content_range(std::string_view value);

// The name after "filename=" in a Content-Disposition value, quotes taken
// off and any directory part dropped; empty when none is usable.
Text disposition_file_name(std::string_view value);

// A non-negative decimal number that fits 63 bits, else -1.
std::int64_t read_size(std::string_view text);

}  // namespace lumora
