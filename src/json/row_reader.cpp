#include "lumora/json/row_reader.h"

#include <nlohmann/json.hpp>

#include <cstring>

#include "document_root.h"
#include "lumora/json/engine_text.h"
#include "lumora/json/eval_result.h"
#include "lumora/json/json_reader.h"
#include "lumora/json/number_text.h"
#include "lumora/text/number.h"

namespace lumora::json {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint64_t kFnvBasis = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

// A scalar as get_text gives it for a path that does not start with "[".
struct Scalar {
  char tag;
  std::string_view bytes;  // what the fingerprint mixes in
  Text text;
};

// Where a value met in the text sits. Path depths count the names matched,
// -1 when the value is off that path.
struct Place {
  int rows = -1;
  int value = -1;
  bool row = false;  // an element of the rows' array
  int field = -1;    // a member of a row that is read
};

// nlohmann's SAX events, followed along the two paths. Scanning counts the
// rows and notes whether the text has the usual shape; reading hands each
// row to the sink as soon as its object closes.
class RowWalker {
 public:
  RowWalker(const RowQuery& query, const RowReader::RowSink* sink) : q_(query), sink_(sink) {
    seen_on_rows_path_.assign(q_.rows_path.size(), 0);
  }

  bool null() { return scalar({'n', {}, {}}); }
  bool boolean(bool b) { return scalar({'b', b ? "1" : "0", b ? "True" : "False"}); }
  bool number_integer(Json::number_integer_t n) { return number(static_cast<double>(n)); }
  bool number_unsigned(Json::number_unsigned_t n) { return number(static_cast<double>(n)); }
  bool number_float(Json::number_float_t d, const Json::string_t&) { return number(d); }
  bool string(Json::string_t& s);
  bool binary(Json::binary_t&) { return false; }
  bool start_object(std::size_t) { return open(true); }
  bool start_array(std::size_t) { return open(false); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(Json::string_t& name);
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    return false;
  }

  bool plain() const { return plain_; }
  bool root_null() const { return root_null_; }
  const Text& value() const { return value_; }
  std::size_t rows() const { return rows_; }
  std::uint64_t fingerprint() const { return hash_; }

 private:
  enum class Role { kOther, kRowsArray, kRow };
  struct Frame {
    bool object;
    Role role;
    int rows;
    int value;
  };

  bool number(double d) {
    char bits[sizeof d];
    std::memcpy(bits, &d, sizeof d);
    return scalar({'d', std::string_view(bits, sizeof bits), g13_text(d)});
  }
  bool scalar(const Scalar& s);
  bool open(bool object);
  bool close();
  Place take_place();
  void mix(char tag, std::string_view bytes = {});
  void end_row();

  const RowQuery& q_;
  const RowReader::RowSink* sink_;  // null while scanning
  std::vector<Frame> frames_;
  Place pending_;
  int in_rows_ = 0;  // depth inside the rows' array, 0 outside it
  std::vector<int> seen_on_rows_path_;
  std::vector<Text> row_;
  bool plain_ = true;
  bool root_null_ = false;
  Text value_;
  std::size_t rows_ = 0;
  std::uint64_t hash_ = kFnvBasis;
};

void RowWalker::mix(char tag, std::string_view bytes) {
  if (in_rows_ == 0) return;
  const auto add = [this](unsigned char c) { hash_ = (hash_ ^ c) * kFnvPrime; };
  add(static_cast<unsigned char>(tag));
  for (std::size_t n = bytes.size(); n > 0; n >>= 8) add(static_cast<unsigned char>(n & 0xff));
  for (const char c : bytes) add(static_cast<unsigned char>(c));
}

Place RowWalker::take_place() {
  if (frames_.empty()) return {0, 0};
  const Frame& top = frames_.back();
  if (top.object) return std::exchange(pending_, Place{});
  return {-1, -1, top.role == Role::kRowsArray};
}

bool RowWalker::key(Json::string_t& name) {
  mix('k', name);
  const Frame& top = frames_.back();
  pending_ = {};
  if (top.role == Role::kRow) {
    for (std::size_t i = 0; i < q_.fields.size(); ++i)
      if (q_.fields[i] == name) pending_.field = static_cast<int>(i);
    return true;
  }
  const auto depth = [](int at) { return static_cast<std::size_t>(at); };
  if (top.rows >= 0 && depth(top.rows) < q_.rows_path.size() && q_.rows_path[top.rows] == name) {
    pending_.rows = top.rows + 1;
    // A later value under the same name replaces the earlier: rows already
    // handed on could not be taken back.
    if (++seen_on_rows_path_[top.rows] > 1) plain_ = false;
  }
  if (top.value >= 0 && depth(top.value) < q_.value_path.size() && q_.value_path[top.value] == name) {
    pending_.value = top.value + 1;
    value_.clear();
  }
  return true;
}

bool RowWalker::scalar(const Scalar& s) {
  mix(s.tag, s.bytes);
  if (frames_.empty() && s.tag == 'n') root_null_ = true;
  const Place p = take_place();
  if (static_cast<std::size_t>(p.value) == q_.value_path.size()) value_ = s.text;
  if (p.field >= 0) row_[p.field] = s.text;
  if (p.row) {
    row_.assign(q_.fields.size(), Text());
    end_row();
  }
  return true;
}

bool RowWalker::string(Json::string_t& s) {
  const bool rows_value =
      !frames_.empty() && frames_.back().object &&
      static_cast<std::size_t>(pending_.rows) == q_.rows_path.size();
  // A string where the rows belong counts as that many empty rows.
  const int empty_rows = rows_value ? utf16_length(s) : 0;
  scalar({'s', s, from_engine(s)});
  if (empty_rows > 0) row_.assign(q_.fields.size(), Text());
  for (int i = 0; i < empty_rows; ++i) end_row();
  return true;
}

bool RowWalker::open(bool object) {
  if (frames_.size() >= kMaxJsonDepth) return false;
  mix(object ? '{' : '[');
  const Place p = take_place();
  if (p.field >= 0) row_[p.field].clear();
  Frame frame{object, Role::kOther, -1, -1};
  const bool rows_value = static_cast<std::size_t>(p.rows) == q_.rows_path.size();
  if (rows_value && object) plain_ = false;
  if (rows_value && !object) {
    frame.role = Role::kRowsArray;
    in_rows_ = 1;
  } else if (in_rows_ > 0) {
    ++in_rows_;
  }
  if (p.row && object) {
    frame.role = Role::kRow;
    row_.assign(q_.fields.size(), Text());
  } else if (p.row) {
    row_.assign(q_.fields.size(), Text());
    end_row();
  }
  // Names on the paths continue only through objects.
  if (object && frame.role == Role::kOther) {
    frame.rows = p.rows;
    frame.value = p.value;
  }
  frames_.push_back(frame);
  return true;
}

bool RowWalker::close() {
  const Frame frame = frames_.back();
  frames_.pop_back();
  if (frame.role == Role::kRow) end_row();
  mix(frame.object ? '}' : ']');
  if (in_rows_ > 0) --in_rows_;
  return true;
}

void RowWalker::end_row() {
  ++rows_;
  if (sink_) (*sink_)(row_);
}

std::string dotted(const std::vector<std::string>& names) {
  std::string path;
  for (const std::string& n : names) path += (path.empty() ? "" : ".") + n;
  return path;
}

// get_text's reading of a value for a path that does not start with "[".
Text text_of(Lookup found) {
  if (found.ok && found.value->kind() == Kind::kNumber) return g13_text(found.value->as_number());
  return result_text(found);
}

std::uint64_t text_hash(std::string_view text) {
  std::uint64_t h = kFnvBasis;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return h;
}

}  // namespace

RowReader::RowReader(std::string_view utf8, RowQuery query)
    : utf8_(utf8), query_(std::move(query)) {
  RowWalker walker(query_, nullptr);
  const bool parsed = Json::sax_parse(utf8_.begin(), utf8_.end(), &walker);
  if (parsed && walker.plain()) {
    scan_ = {!walker.root_null(), walker.value(), walker.rows(), walker.fingerprint()};
    return;
  }
  if (!parsed) return;
  document_ = read_json(utf8_);
  if (!document_) return;
  const Lookup rows = find_optional(*document_, dotted(query_.rows_path), Join::kBracket);
  scan_.json = document_->kind() != Kind::kNull;
  scan_.value = text_of(find_path(*document_, dotted(query_.value_path), Join::kBracket));
  scan_.rows = static_cast<std::size_t>(std::max(0, value_count(rows)));
  scan_.fingerprint = text_hash(json_text_of(rows));
}

RowReader::~RowReader() = default;

void RowReader::read(const RowSink& row) const {
  if (!scan_.json || scan_.rows == 0) return;
  if (document_) return read_document(row);
  RowWalker walker(query_, &row);
  Json::sax_parse(utf8_.begin(), utf8_.end(), &walker);
}

void RowReader::read_document(const RowSink& row) const {
  const std::string rows = dotted(query_.rows_path);
  std::vector<Text> fields(query_.fields.size());
  for (std::size_t i = 0; i < scan_.rows; ++i) {
    const std::string element = rows + "[" + decimal_text(static_cast<long long>(i)) + "].";
    for (std::size_t f = 0; f < fields.size(); ++f)
      fields[f] = text_of(find_path(*document_, element + query_.fields[f], Join::kBracket));
    row(fields);
  }
}

}  // namespace lumora::json
