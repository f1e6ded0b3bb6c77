// Parsing and the reads of the JSON document, grouped by operation.
#include "lumora/json/json_document.h"

#include <gtest/gtest.h>

#include <string>

#include "lumora/text/code_page.h"

namespace lumora {
namespace {

JsonDocument parsed(std::string_view text) {
  JsonDocument doc = JsonDocument::create();
  doc.parse(text);
  return doc;
}

const char* const kPage = R"({"ret":0,"data":{"maxPageId":3,"totalCount":45,"list":[
  {"title":"\u4e2d\u6587","playUrl64":"http://a/1.mp3","duration":181.5,"ok":true,"n":null},
  {"title":"two","playUrl64":"http://a/2.mp3","duration":12345678901234,"tags":[]}],
  "result":{"response":{"docs":[{"category_title":"x"}]}}}})";

TEST(JsonDocumentParse, Results) {
  const struct {
    const char* text;
    bool ok;
    int root_type;
  } cases[] = {{"", false, kJsonNull},       {"null", false, kJsonNull}, {"{}", true, kJsonObject},
               {"[]", true, kJsonArray},     {"0", true, kJsonNumber},   {"false", true, kJsonBoolean},
               {"{\"a\":", false, kJsonNull}, {"{a:1}", false, kJsonNull},
               {"\"1+2\"", true, kJsonString}, {" [1] ", true, kJsonArray}};
  for (const auto& c : cases) {
    JsonDocument doc = JsonDocument::create();
    EXPECT_EQ(doc.parse(c.text), c.ok) << c.text;
    EXPECT_EQ(doc.type_of(), c.root_type) << c.text;
  }
  // A JSON string as the whole text is that string, not evaluated again.
  JsonDocument doc = parsed("\"{\\\"a\\\":1}\"");
  EXPECT_EQ(doc.to_json(), R"("{\"a\":1}")");
  EXPECT_EQ(parsed("0").to_json(), "0");
}

TEST(JsonDocumentParse, FailedParseReadsEmpty) {
  JsonDocument doc = parsed("{\"a\":1,");
  EXPECT_EQ(doc.get_text("a"), "");
  EXPECT_EQ(doc.count("a"), 0);
  EXPECT_EQ(doc.type_of("a"), kJsonOther);
  EXPECT_EQ(doc.type_of(), kJsonNull);
  EXPECT_EQ(doc.to_json(), "null");
}

TEST(JsonDocumentParse, SecondParseDiscardsTheFirst) {
  JsonDocument doc = parsed(R"({"only_first":"x","both":1})");
  ASSERT_TRUE(doc.parse(R"({"both":2})"));
  EXPECT_EQ(doc.get_text("only_first"), "");
  EXPECT_EQ(doc.get_text("both"), "2");
}

TEST(JsonDocumentParse, GbkTextInAndOut) {
  const Text title = gbk(u8"中文标题");
  JsonDocument doc = parsed("{\"t\":\"" + title + "\",\"" + gbk(u8"名") + "\":1}");
  EXPECT_EQ(doc.get_text("t"), title);
  EXPECT_EQ(doc.get_text(gbk(u8"名")), "1");
  // A character without a GBK form comes back as "?".
  EXPECT_EQ(parsed(R"({"e":"a\ud83d\ude00b"})").get_text("e"), "a?b");
  // A zero byte ends the text handed in.
  EXPECT_TRUE(parsed(std::string("{\"a\":1}\0garbage", 15)).has("a"));
}

TEST(JsonDocumentGetText, Values) {
  JsonDocument doc = parsed(kPage);
  const struct {
    const char* path;
    Text text;
  } cases[] = {
      {"data.list[0].title", gbk(u8"中文")},
      {"data.list[0].playUrl64", "http://a/1.mp3"},
      {"data.maxPageId", "3"},
      {"data.list[0].duration", "181.5"},
      {"data.list[1].duration", "1.234567890123e+13"},
      {"data.list[0].ok", "True"},
      {"data.list[0].n", ""},
      {"data.list[0].missing", ""},
      {"data.missing.title", ""},
      {"data.list[5].title", ""},
      {"data.list[2]", ""},  // one past the end of a two-element list
      {"data.list[2].title", ""},
      {"data.result.response.docs[0]['category_title']", "x"},
      {"data.result.response.docs[0][\"category_title\"]", "x"},
      {" data . list [ 1 ] . title ", "two"},
      {"data.list['1'].title", "two"},
      {"data.list[1.0].title", "two"},
      {"data.list[01].title", "two"},
      {"data.list[-1].title", ""},
      {"data.list[1e400]", ""},
      {"data.list[99999999999999999999].title", ""},
      {"ret.x", ""},
      {"data.list[0].title.length", ""},
      {"", ""},
      {"data.", ""},
      {"data..list", ""},
      {"data.list[0", ""},
      {"data.list[a]", ""},
      {"data.list[0]x", ""},
      {"data.list()", ""},
      {"1data", ""},
      {"data.list[0].title;da=1", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(doc.get_text(c.path), c.text) << c.path;
  EXPECT_EQ(doc.get_text("data.list[1].tags", true), "[]");
  EXPECT_EQ(doc.get_text("", true), "");
  EXPECT_EQ(doc.get_text("data.list[0].missing", true), "");
}

TEST(JsonDocumentGetText, QuotedNamesStepOverEscapedQuotes) {
  JsonDocument doc = parsed(R"({"x":{"a'b":"q","a\"b":"d","a]b":"r","a\\":"s"}})");
  const struct {
    const char* path;
    Text text;
  } cases[] = {
      {R"(x['a\'b'])", "q"},   {R"(x["a\"b"])", "d"}, {R"(x['a]b'])", "r"},
      {R"(x['a\\'])", "s"},  {R"(['x']['a\'b'])", "q"},
      {R"(x['a\'b)", ""},     {R"(x['a\'])", ""},    {R"(x['a\)", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(doc.get_text(c.path), c.text) << c.path;
}

TEST(JsonDocumentGetText, RootArrayByBracketRule) {
  JsonDocument doc = parsed(R"([{"a":"x"},2.5,12345678901234])");
  EXPECT_EQ(doc.get_text("[0].a"), "x");
  EXPECT_EQ(doc.get_text("[0]", true), R"({"a":"x"})");
  // "[...]" fails under the dot rule, so a number is not read as "%.13g".
  EXPECT_EQ(doc.get_text("[2]"), "12345678901234");
  EXPECT_EQ(doc.get_number("[1]"), 0);
  EXPECT_EQ(doc.type_of("[0]"), kJsonOther);
  EXPECT_EQ(doc.count("[0]"), 1);
}

TEST(JsonDocumentGetNumber, Conversions) {
  JsonDocument doc = parsed(R"({"n":2.5,"s":" 42 ","w":"4x","t":true,"f":false,"z":null,"o":{}})");
  const struct {
    const char* path;
    double value;
  } cases[] = {{"n", 2.5}, {"s", 42}, {"w", 0},    {"t", -1}, {"f", 0},
               {"z", 0},   {"o", 0},  {"m", 0},    {"m.x", 0}, {"[0]", 0}};
  for (const auto& c : cases) EXPECT_EQ(doc.get_number(c.path), c.value) << c.path;
}

TEST(JsonDocumentCount, Values) {
  std::string twenty = "{\"a\":[";
  for (int i = 0; i < 20; ++i) twenty += i ? ",{}" : "{}";
  twenty += R"(],"e":[],"o":{"x":1,"y":2,"z":3},"n":null,"s":"ab\u4e2d","k":5})";
  JsonDocument doc = parsed(twenty);
  const struct {
    const char* path;
    int count;
  } cases[] = {{"a", 20}, {"e", 0},    {"o", 3},   {"n", -2}, {"missing", -2},
               {"missing.x", 0}, {"a[0]", 0}, {"s", 3}, {"k", 0}, {"", 6}, {"o.", 0}};
  for (const auto& c : cases) EXPECT_EQ(doc.count(c.path), c.count) << c.path;
}

TEST(JsonDocumentTypeOf, Codes) {
  JsonDocument fresh = JsonDocument::create();
  EXPECT_EQ(fresh.type_of(), kJsonObject);
  JsonDocument doc = parsed(R"({"b":true,"n":1,"o":{},"a":[],"s":"","z":null})");
  const struct {
    const char* path;
    int type;
  } cases[] = {{"b", kJsonBoolean}, {"n", kJsonNumber}, {"o", kJsonObject}, {"a", kJsonArray},
               {"s", kJsonString},  {"z", kJsonNull},   {"missing", kJsonNull},
               {"missing.x", kJsonOther}, {"[0]", kJsonOther}, {"a.", kJsonOther}};
  for (const auto& c : cases) EXPECT_EQ(doc.type_of(c.path), c.type) << c.path;
  EXPECT_EQ(parsed("[1]").type_of(), kJsonArray);
}

TEST(JsonDocumentQuery, GetJsonHasKeysAndItems) {
  JsonDocument doc = parsed(R"({"a":1,"b":2,"l":[1.5,true,null,"s"],"z":null,"f":false,"0":0,"c,d":1})");
  EXPECT_EQ(doc.get_json("l"), R"([1.5,true,null,"s"])");
  EXPECT_EQ(doc.get_json("missing"), "");
  EXPECT_EQ(doc.get_json("[0]"), "");

  EXPECT_FALSE(doc.has("z"));
  EXPECT_TRUE(doc.has("f"));
  EXPECT_FALSE(doc.has("0"));  // not a member name under the dot rule
  EXPECT_FALSE(doc.has("['0']"));
  EXPECT_FALSE(doc.has("missing.x"));

  TextList names{"stale"};
  EXPECT_EQ(doc.keys(names), 7);
  EXPECT_EQ(names, (TextList{"a", "b", "l", "z", "f", "0", "c,d"}));
  EXPECT_EQ(doc.keys(names, "l"), 4);
  EXPECT_EQ(names, (TextList{"0", "1", "2", "3"}));
  EXPECT_EQ(doc.keys(names, "missing"), 0);
  EXPECT_TRUE(names.empty());

  EXPECT_EQ(doc.get_item_text(0, "l"), "1.5");
  EXPECT_EQ(doc.get_item_text(1, "l"), "True");
  EXPECT_EQ(doc.get_item_text(2, "l"), "");
  EXPECT_EQ(doc.get_item_text(3, "l", true), "\"s\"");
  EXPECT_EQ(doc.get_item_text(-1, "l"), "");
  EXPECT_EQ(doc.get_item_text(0, "missing.x"), "");
  JsonDocument item = doc.get_item_document(3, "l");
  EXPECT_EQ(item.to_json(), "\"s\"");
}

TEST(JsonDocumentQuery, GetDocumentCopiesAndCloneShares) {
  // U+FFF0 has no GBK form: the copy must not pass through GBK.
  JsonDocument doc = parsed(R"({"d":{"x":[1,{"y":"\ufff0"}],"u":1}})");
  doc.set_json("d.u", "");
  JsonDocument part = doc.get_document("d");
  EXPECT_EQ(part.to_json(), R"({"x":[1,{"y":"\ufff0"}]})");
  part.set_number("x[0]", 9);
  EXPECT_EQ(doc.get_text("d.x[0]"), "1");  // a copy
  EXPECT_EQ(part.get_document("x[1]").get_json("y"), R"("\ufff0")");
  EXPECT_EQ(doc.get_document("missing").type_of(), kJsonNull);

  JsonDocument twin = doc.clone();
  twin.set_number("d.n", 5);
  EXPECT_EQ(doc.get_text("d.n"), "5");
  doc.clear();
  EXPECT_EQ(twin.to_json(), "{}");
  // Parsing gives the document a root of its own.
  twin.parse("[1]");
  EXPECT_EQ(doc.to_json(), "{}");
}

TEST(JsonDocumentLifecycle, DestroyedDocumentIsInert) {
  JsonDocument doc = parsed(R"({"a":[1]})");
  doc.destroy();
  EXPECT_FALSE(doc.parse("{}"));
  EXPECT_EQ(doc.get_text("a"), "");
  EXPECT_EQ(doc.count("a"), 0);
  EXPECT_EQ(doc.type_of(), kJsonOther);
  doc.set_number("a", 1);
  doc.append("x");
  EXPECT_EQ(doc.to_json(), "");
  doc.initialize();
  EXPECT_EQ(doc.to_json(), "{}");
}

}  // namespace
}  // namespace lumora
