// The rows of one array in a JSON text, and one more value, read as a
// JsonDocument reads them (count of the array, get_text of each row's
// members and of the value), without holding the text as a document: a
// listing answer of many megabytes then costs little more than its text.
//
// Paths are member names from the root, none of them an array index. The
// reader walks the text twice (scan, then read) and keeps only one row at a
// time; an answer of an unusual shape (the rows an object, a name on the
// rows' path given twice) is read through a document instead, so the
// results are always the document's.
//
// Threads: a reader is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/json/json_value.h"
#include "lumora/text/text.h"

namespace lumora::json {

struct RowQuery {
  std::vector<std::string> value_path;  // e.g. {"data", "maxPageId"}
  std::vector<std::string> rows_path;   // e.g. {"data", "list"}
  std::vector<std::string> fields;      // members read from each row, e.g. {"title"}
};

struct RowScan {
  bool json = false;  // a JsonDocument's parse of the text would succeed
  Text value;         // get_text of the value path (GBK)
  std::size_t rows = 0;
  // Equal for two texts whose rows have the same content (a hash).
  std::uint64_t fingerprint = 0;
};

class RowReader {
 public:
  // `utf8`: the text as the document engine sees it (engine_text.h); it must
  // outlive the reader. Scans it at once.
  RowReader(std::string_view utf8, RowQuery query);
  ~RowReader();
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  const RowScan& scan() const { return scan_; }
  // Calls `row` once per row, in order, with one GBK text per field: a
  // string as it is, a number as "%.13g", a boolean "True" or "False",
  // anything else (or a member the row lacks) empty.
  using RowSink = std::function<void(const std::vector<Text>& fields)>;
  void read(const RowSink& row) const;

 private:
  void read_document(const RowSink& row) const;

  std::string_view utf8_;
  RowQuery query_;
  RowScan scan_;
  std::optional<Value> document_;  // only for a text of an unusual shape
};

}  // namespace lumora::json
