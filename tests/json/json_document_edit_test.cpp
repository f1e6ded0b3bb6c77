// The edits of the JSON document, grouped by operation.
#include "lumora/json/json_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lumora/text/code_page.h"

namespace lumora {
namespace {

JsonDocument parsed(std::string_view text) {
  JsonDocument doc = JsonDocument::create();
  doc.parse(text);
  return doc;
}

TEST(JsonDocumentSetValue, AsScriptString) {
  const struct {
    const char* value;
    const char* json;  // of the document afterwards
  } cases[] = {
      {"plain", R"({"a":{},"v":"plain"})"},
      {R"(two\nlines)", R"({"a":{},"v":"two\nlines"})"},
      {R"(\u4e2d)", "{\"a\":{},\"v\":\"\xD6\xD0\"}"},
      {"it's", R"({"a":{}})"},          // a raw quote breaks the literal
      {"line\nbreak", R"({"a":{}})"},  // so does a raw line break
      {"", R"({"a":{},"v":""})"},
  };
  for (const auto& c : cases) {
    JsonDocument doc = parsed(R"({"a":{}})");
    doc.set_value("v", c.value);
    EXPECT_EQ(doc.to_json(), c.json) << c.value;
  }
  JsonDocument doc = parsed(R"({"a":{}})");
  doc.set_value("missing.v", "x");
  doc.set_value("a.", "x");
  doc.set_value("", "x");
  EXPECT_EQ(doc.to_json(), R"({"a":{}})");
  doc.set_value("a.b", gbk(u8"中"));
  EXPECT_EQ(doc.get_text("a.b"), gbk(u8"中"));
}

TEST(JsonDocumentSetValue, AsJson) {
  JsonDocument doc = parsed(R"({"s":"x","l":[1]})");
  doc.set_value("e", "", true);
  doc.set_value("o", R"({"k":[1,2]})", true);
  doc.set_value("bad", "{k:1}", true);
  doc.set_value("two", "1,2", true);
  doc.set_value("s.x", "1", true);  // a member of a string: no effect
  doc.set_value("l[3]", "4", true);  // past the end: holes
  EXPECT_EQ(doc.to_json(), R"({"s":"x","l":[1,null,null,4],"e":{},"o":{"k":[1,2]}})");
  EXPECT_EQ(doc.count("l"), 2);
  TextList names;
  EXPECT_EQ(doc.keys(names, "l"), 2);
  EXPECT_EQ(names, (TextList{"0", "3"}));
  EXPECT_EQ(doc.type_of("l[1]"), kJsonNull);
  doc.set_value("l[99999999]", "1", true);  // would allocate without bound
  EXPECT_EQ(doc.count("l"), 2);
}

TEST(JsonDocumentSetJson, EmptyValueMakesUndefined) {
  JsonDocument doc = parsed(R"({"a":1,"b":2})");
  doc.set_json("a", "");
  EXPECT_EQ(doc.count(), 2);
  TextList names;
  EXPECT_EQ(doc.keys(names), 2);
  EXPECT_EQ(doc.to_json(), R"({"b":2})");
  EXPECT_EQ(doc.type_of("a"), kJsonNull);
  EXPECT_FALSE(doc.has("a"));
  EXPECT_EQ(doc.get_json("a"), "");
  doc.set_json("b", "[\"x\"]");
  doc.set_json("c", "not json");
  EXPECT_EQ(doc.to_json(), R"({"b":["x"]})");
  doc.set_json("b[0]", "\"y\"");
  EXPECT_EQ(doc.get_text("b[0]"), "y");
}

TEST(JsonDocumentSetNumber, RoundsAndRefusesNonFinite) {
  JsonDocument doc = JsonDocument::create();
  doc.set_number("a", 1.0 / 3);
  doc.set_number("b", 12345678901234567.0);
  doc.set_number("c", std::numeric_limits<double>::infinity());
  doc.set_number("d", std::nan(""));
  EXPECT_EQ(doc.to_json(), R"({"a":0.3333333333333,"b":12345678901230000})");
}

TEST(JsonDocumentAppend, Rules) {
  JsonDocument doc = parsed(R"({"o":{"k":1},"l":["a"],"n":null})");
  doc.append("x", "missing");
  doc.append("y", "o");
  doc.append("b", "l");
  doc.append("1", "n", true);
  doc.append("", "l", true);  // adds nothing
  doc.append("it's", "l");    // broken literal: nothing at all
  doc.append("z", "missing.deeper");
  EXPECT_EQ(doc.to_json(), R"({"o":["y"],"l":["a","b"],"n":[1],"missing":["x"]})");
  doc.append("", "o.k", true);  // not an array inside an array: no effect
  doc.append("", "s", true);   // empty JSON value: still makes the array
  EXPECT_EQ(doc.get_json("s"), "[]");
  doc.append("{\"t\":1}", "", true);  // the root
  EXPECT_EQ(doc.to_json(), R"([{"t":1}])");
}

TEST(JsonDocumentItems, SetAndRemove) {
  JsonDocument doc = parsed("[1,2,3]");
  doc.remove_item(0);
  EXPECT_EQ(doc.to_json(), "[2,3]");
  doc.remove_item(5);
  doc.remove_item(-1);
  EXPECT_EQ(doc.to_json(), "[2]");
  doc.remove_item(-5);  // counts from the end, clamped to the start
  EXPECT_EQ(doc.to_json(), "[]");
  doc.set_item(0, "a");
  doc.set_item(2, "true", true);
  doc.set_item(1, "", true);  // no value: nothing
  doc.set_item(-1, "x");      // no element
  EXPECT_EQ(doc.to_json(), R"(["a",null,true])");
  EXPECT_EQ(doc.count(), 2);

  JsonDocument object = JsonDocument::create();
  object.set_item(3, "x");
  object.remove_item(0);
  EXPECT_EQ(object.to_json(), R"({"3":"x"})");
}

TEST(JsonDocumentRemovePathItem, FirstBracketPairCounts) {
  const struct {
    const char* path;
    const char* json;
  } cases[] = {
      {"data.list[1]", R"({"data":{"list":[0,2],"o":{"k":1}}})"},
      {"data.list[2].title", R"({"data":{"list":[0,1],"o":{"k":1}}})"},
      {"data.list", R"({"data":{"list":[0,1,2],"o":{"k":1}}})"},
      {"[0]", R"({"data":{"list":[0,1,2],"o":{"k":1}}})"},
      {"data.list[x]", R"({"data":{"list":[1,2],"o":{"k":1}}})"},
      {"data.o[0]", R"({"data":{"list":[0,1,2],"o":{"k":1}}})"},
      {"data.missing[0]", R"({"data":{"list":[0,1,2],"o":{"k":1}}})"},
  };
  for (const auto& c : cases) {
    JsonDocument doc = parsed(R"({"data":{"list":[0,1,2],"o":{"k":1}}})");
    doc.remove_path_item(c.path);
    EXPECT_EQ(doc.to_json(), c.json) << c.path;
  }
}

TEST(JsonDocumentRoot, ResetSetRootClear) {
  const struct {
    int code;
    const char* json;
  } cases[] = {{0, "{}"}, {4, "{}"}, {5, "[]"}, {3, "[7]"}, {6, "[7]"}, {-1, "[7]"}};
  for (const auto& c : cases) {
    JsonDocument doc = parsed("[7]");
    doc.reset(c.code);
    EXPECT_EQ(doc.to_json(), c.json) << c.code;
  }
  const struct {
    const char* value;
    bool as_json;
    bool result;
    const char* json;
  } roots[] = {{"1", true, true, "1"},        {"0", true, false, "0"},
               {"[1]", true, false, "[1]"},   {"true", true, true, "true"},
               {"", true, false, "{}"},       {"abc", false, false, "\"abc\""},
               {"2", false, true, "\"2\""},   {"True", false, true, "\"True\""},
               {"x'y", false, false, "{}"}};
  for (const auto& r : roots) {
    JsonDocument doc = JsonDocument::create();
    EXPECT_EQ(doc.set_root(r.value, r.as_json), r.result) << r.value;
    EXPECT_EQ(doc.to_json(), r.json) << r.value;
  }
  JsonDocument doc = parsed("[1]");
  doc.clear();
  EXPECT_EQ(doc.to_json(), "{}");
}

}  // namespace
}  // namespace lumora
