// The JSON text writer, the reader's rules and script string bodies.
#include <gtest/gtest.h>

#include "lumora/json/json_reader.h"
#include "lumora/json/json_writer.h"
#include "lumora/json/script_string.h"

namespace lumora::json {
namespace {

std::string round_trip(std::string_view text) {
  auto v = read_json(text);
  return v ? write_json(*v) : "<fail>";
}

TEST(JsonWriter, CompactOrderedAndNumbers) {
  EXPECT_EQ(round_trip(R"( { "b" : 1 , "a" : [ 1.50, -0, 1E3, 1e21, 0.0000001 ], "c":{} , "d":[]} )"),
            R"({"b":1,"a":[1.5,0,1000,1e+21,1e-7],"c":{},"d":[]})");
  EXPECT_EQ(round_trip("[true,false,null]"), "[true,false,null]");
  EXPECT_EQ(round_trip("12345678901234567890"), "12345678901234567000");
}

TEST(JsonWriter, StringEscapes) {
  const struct {
    const char* in;   // JSON text
    const char* out;  // as written back
  } cases[] = {
      {R"("a\"b\\c/d")", R"("a\"b\\c/d")"},
      {R"("\b\t\n\f\r")", R"("\b\t\n\f\r")"},
      {R"("\u0001\u001f\u007f\u009f")", R"("\u0001\u001f\u007f\u009f")"},
      {R"("\u00ad\u0600\u0604\u070f\u17b4\u17b5")", R"("\u00ad\u0600\u0604\u070f\u17b4\u17b5")"},
      {R"("\u200c\u200f\u2028\u202f\u2060\u206f\ufeff\ufff0\uffff")",
       R"("\u200c\u200f\u2028\u202f\u2060\u206f\ufeff\ufff0\uffff")"},
      {R"("\u00ae\u0605\u2030\u4e2d\ud83d\ude00")", "\"\xC2\xAE\xD8\x85\xE2\x80\xB0\xE4\xB8\xAD\xF0\x9F\x98\x80\""},
      {R"("\/")", R"("/")"},
  };
  for (const auto& c : cases) EXPECT_EQ(round_trip(c.in), c.out) << c.in;
}

TEST(JsonWriter, UndefinedAndHoles) {
  Value root = Value::object();
  root.as_object().slot("u");  // undefined member: left out
  root.as_object().slot("a") = Value::array();
  Array& a = root.as_object().find("a")->as_array();
  a.push_back(Value());
  a.push_back(Value::hole());
  a.push_back(Value::number(1.0 / 0.0));
  EXPECT_EQ(write_json(root), R"({"a":[null,null,null]})");
  EXPECT_EQ(write_json(Value()), "");
}

TEST(JsonReader, RejectsWhatIsNotJson) {
  for (const char* text : {"", " ", "{", "[1,]", "{'a':1}", "{a:1}", "01", "1 2", "NaN", "1e400",
                           "\"\xFF\"", "\"\\ud800\"", "// c\n1", "[1]x", "\"a\nb\""}) {
    EXPECT_FALSE(read_json(text)) << text;
  }
}

TEST(JsonReader, DuplicateNameKeepsFirstPlaceAndLastValue) {
  EXPECT_EQ(round_trip(R"({"a":1,"b":2,"a":{"x":[3]},"c":4,"a":5})"), R"({"a":5,"b":2,"c":4})");
  // The same in an object large enough to be indexed by name.
  std::string big = "{";
  for (int i = 0; i < 100; ++i) big += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  big += "\"k3\":\"last\"}";
  auto v = read_json(big);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->as_object().size(), 100u);
  EXPECT_EQ(v->as_object().members()[3].value.as_string(), "last");
  EXPECT_EQ(v->as_object().find("k99")->as_number(), 99);
  EXPECT_EQ(v->as_object().find("k100"), nullptr);
}

TEST(ScriptString, Escapes) {
  const struct {
    const char* body;
    const char* content;  // nullptr: invalid
  } cases[] = {
      {R"(plain)", "plain"},
      {R"(a\nb\tc\\d\'e\"f)", "a\nb\tc\\d'e\"f"},
      {R"(\x41\u4e2d\ud83d\ude00)", "A\xE4\xB8\xAD\xF0\x9F\x98\x80"},
      {R"(\101\7\q)", "A\x07q"},
      {"line\\\ncontinued", "linecontinued"},
      {R"(\ud800)", "\xEF\xBF\xBD"},
      {"it's", nullptr},
      {"two\nlines", nullptr},
      {"cr\r", nullptr},
      {R"(\x4)", nullptr},
      {R"(\u12g4)", nullptr},
      {R"(ends\)", nullptr},
      {"\"double\" ok", "\"double\" ok"},
  };
  for (const auto& c : cases) {
    const auto got = read_script_string(c.body, '\'');
    if (c.content) {
      ASSERT_TRUE(got) << c.body;
      EXPECT_EQ(*got, c.content);
    } else {
      EXPECT_FALSE(got) << c.body;
    }
  }
}

}  // namespace
}  // namespace lumora::json
