// The row reader gives exactly what a JsonDocument gives for the same reads,
// whatever shape the text has; and it never holds more than one row.
#include "lumora/json/row_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "lumora/json/engine_text.h"
#include "lumora/json/json_document.h"
#include "lumora/text/code_page.h"

namespace lumora::json {
namespace {

const RowQuery kQuery{{"data", "maxPageId"}, {"data", "list"}, {"title", "playUrl64", "trackId"}};

struct Read {
  bool json = false;
  Text value;
  std::vector<std::vector<Text>> rows;
  Text rows_json;  // the document's only
};

// As the catalogue reads a page through a document.
Read through_document(const Text& gbk) {
  JsonDocument doc = JsonDocument::create();
  Read r;
  r.json = doc.parse(gbk);
  r.value = doc.get_text("data.maxPageId");
  r.rows_json = doc.get_text("data.list", true);
  const int count = doc.count("data.list");
  for (int i = 0; i < count; ++i) {
    const Text item = "data.list[" + std::to_string(i) + "]";
    r.rows.push_back({doc.get_text(item + ".title"), doc.get_text(item + ".playUrl64"),
                      doc.get_text(item + ".trackId")});
  }
  return r;
}

Read through_reader(const Text& gbk, std::uint64_t* fingerprint = nullptr) {
  std::string storage;
  const RowReader reader(to_engine(gbk, storage), kQuery);
  Read r;
  r.json = reader.scan().json;
  r.value = reader.scan().value;
  reader.read([&](const std::vector<Text>& fields) { r.rows.push_back(fields); });
  EXPECT_EQ(r.rows.size(), reader.scan().rows);
  if (fingerprint) *fingerprint = reader.scan().fingerprint;
  return r;
}

void expect_same(const std::string& utf8) {
  SCOPED_TRACE(utf8.substr(0, 300));
  const Text gbk = utf8_to_gbk(utf8);
  const Read doc = through_document(gbk);
  const Read rows = through_reader(gbk);
  EXPECT_EQ(rows.json, doc.json);
  EXPECT_EQ(rows.value, doc.value);
  EXPECT_EQ(rows.rows, doc.rows);
}

TEST(RowReader, ReadsWhatTheDocumentReadsForEveryShape) {
  const std::vector<std::string> texts = {
      R"({"data":{"maxPageId":3,"list":[{"title":"第1集","playUrl64":"http://h/1.mp3","trackId":3700002001}]}})",
      R"({"data":{"list":[{"title":"a"},{"playUrl64":"u"}],"maxPageId":"7"}})",
      R"({"data":{"maxPageId":2000000000,"list":[]}})",
      R"({"data":{"maxPageId":1e15,"list":[{"title":1.5,"playUrl64":true,"trackId":null}]}})",
      R"({"data":{"maxPageId":3.14159265358979,"list":[{"title":1234567890123456}]}})",
      R"({"data":{"maxPageId":-4.25,"list":[{"title":{"x":1},"playUrl64":[1,2],"trackId":false}]}})",
      R"({"data":{"maxPageId":[1],"list":[1,"s",null,[{"title":"deep"}],{"title":"t","title":"later"}]}})",
      R"({"data":{"maxPageId":{"a":1},"list":"abc"}})",
      R"({"data":{"list":"第二集"}})",
      R"({"data":{"list":{"0":{"title":"zero"},"x":{"title":"x"},"1":{"title":"one"}}}})",
      R"({"data":{"list":[{"title":"first"}],"list":[{"title":"second"},{"title":"third"}]}})",
      R"({"data":{"maxPageId":5},"data":{"list":[{"title":"only"}]}})",
      R"({"data":{"maxPageId":5,"list":[{"title":"x"}]},"data":null})",
      R"({"data":[{"list":[{"title":"no"}]}]})",
      R"({"data":"list"})",
      R"({"data":{"list":null,"maxPageId":true}})",
      R"({"data":{"list":12,"maxPageId":false}})",
      R"([{"data":{"list":[{"title":"a"}]}}])",
      R"("just a string")",
      "null",
      "",
      "{\"data\":",
      R"({"data":{"list":[{"title":"a"}]}} trailing)",
      R"({"data":{"list":[{"title":"\u001b[2J\u0000x","playUrl64":"\ud83d\ude00"}]}})",
      R"({"data":{"list":[{"title":"é ñ ß","playUrl64":"%41"}],"maxPageId":" 12abc"}})",
  };
  for (const std::string& text : texts) expect_same(text);
}

// A value whose path shares nothing with the rows': a later name wins there too.
TEST(RowReader, ALaterValueReplacesAnEarlierOne) {
  const RowQuery query{{"meta", "count"}, {"data", "list"}, {"title"}};
  const std::vector<std::pair<std::string, Text>> cases = {
      {R"({"meta":{"count":5},"meta":{},"data":{"list":[]}})", ""},
      {R"({"meta":{"count":5},"meta":{"count":6}})", "6"},
      {R"({"meta":{"count":5},"meta":7})", ""},
      {R"({"meta":{"count":{"a":1}}})", ""},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    JsonDocument doc = JsonDocument::create();
    doc.parse(text);
    EXPECT_EQ(doc.get_text("meta.count"), value);
    EXPECT_EQ(RowReader(text, query).scan().value, value);
  }
}

TEST(RowReader, NestingBeyondTheDocumentsLimitFailsAsTheDocumentDoes) {
  for (const std::size_t depth : {9998u, 9999u, 10000u, 10001u}) {
    SCOPED_TRACE(depth);
    const std::string nested = std::string(depth, '[') + std::string(depth, ']');
    expect_same(R"({"data":{"list":[{"title":"t"}],"x":)" + nested + "}}");
  }
}

// Random texts of the listing's shape with the odd member, element and
// value mixed in: the reader and the document agree on all of them.
TEST(RowReader, AgreesWithTheDocumentOnRandomListings) {
  std::mt19937 random(2026);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* values[] = {R"("t")", "1", "2.5", "true", "null", "[]", "{}", R"("第")", "1e300",
                          R"({"title":"n"})"};
  const char* names[] = {"title", "playUrl64", "trackId", "other", "list", "data", "maxPageId"};
  for (int round = 0; round < 400; ++round) {
    std::string list = "[";
    const int rows = pick(6);
    for (int r = 0; r < rows; ++r) {
      list += r ? "," : "";
      if (pick(5) == 0) {
        list += values[pick(10)];
        continue;
      }
      list += "{";
      const int members = pick(5);
      for (int m = 0; m < members; ++m)
        list += std::string(m ? "," : "") + "\"" + names[pick(7)] + "\":" + values[pick(10)];
      list += "}";
    }
    list += "]";
    std::string data = "{";
    data += pick(4) ? R"("list":)" + list : R"("other":1)";
    if (pick(2)) data += std::string(",\"maxPageId\":") + values[pick(10)];
    if (pick(8) == 0) data += R"(,"list":[{"title":"again"}])";
    data += "}";
    expect_same(pick(10) ? R"({"data":)" + data + "}" : R"({"data":1,"data":)" + data + "}");
  }
}

TEST(RowReader, EqualRowsGiveEqualFingerprintsAndOthersDiffer) {
  const std::vector<std::pair<std::string, std::string>> same = {
      {R"({"data":{"list":[{"title":"a","n":1}],"maxPageId":1}})",
       R"({"data":{"maxPageId":2,"list":[ {"title" : "a", "n":1.0} ]}})"},
      {R"({"data":{"list":[]}})", R"({"data":{"list":[],"other":[1]}})"},
  };
  const std::vector<std::pair<std::string, std::string>> different = {
      {R"({"data":{"list":[{"title":"a"}]}})", R"({"data":{"list":[{"title":"b"}]}})"},
      {R"({"data":{"list":[{"title":"a"}]}})", R"({"data":{"list":[{"title":"a"},{}]}})"},
      {R"({"data":{"list":[{"a":"bc"}]}})", R"({"data":{"list":[{"ab":"c"}]}})"},
      {R"({"data":{"list":[{"as":"x"}]}})", R"({"data":{"list":[{"a":"sx"}]}})"},
      {R"({"data":{"list":[["a"],"b"]}})", R"({"data":{"list":[["a","b"]]}})"},
      {R"({"data":{"list":[1]}})", R"({"data":{"list":["1"]}})"},
  };
  const auto print = [](const std::string& text) {
    std::uint64_t fingerprint = 0;
    through_reader(text, &fingerprint);
    return fingerprint;
  };
  for (const auto& [a, b] : same) {
    SCOPED_TRACE(a + " / " + b);
    EXPECT_EQ(through_document(a).rows_json, through_document(b).rows_json);
    EXPECT_EQ(print(a), print(b));
  }
  for (const auto& [a, b] : different) {
    SCOPED_TRACE(a + " / " + b);
    EXPECT_NE(through_document(a).rows_json, through_document(b).rows_json);
    EXPECT_NE(print(a), print(b));
  }
}

TEST(RowReader, HandsOverEachRowAsItsObjectCloses) {
  std::string text = R"({"data":{"list":[)";
  for (int i = 0; i < 1000; ++i) text += std::string(i ? "," : "") + R"({"title":"t)" + std::to_string(i) + "\"}";
  text += "]}}";
  const RowReader reader(text, kQuery);
  int seen = 0;
  reader.read([&](const std::vector<Text>& fields) {
    EXPECT_EQ(fields[0], 't' + std::to_string(seen));
    ++seen;
  });
  EXPECT_EQ(seen, 1000);
  EXPECT_EQ(reader.scan().rows, 1000u);
}

}  // namespace
}  // namespace lumora::json
