// Nesting far beyond any stack: refused by the reader, and handled without
// recursion wherever a document can still grow deep through edits.
#include "lumora/json/json_document.h"

#include <gtest/gtest.h>

#include <string>

#include "lumora/json/json_reader.h"
#include "lumora/json/json_value.h"
#include "lumora/json/json_writer.h"

namespace lumora {
namespace {

std::string nested(std::size_t depth, char open = '[', char close = ']') {
  return std::string(depth, open) + std::string(depth, close);
}

TEST(JsonDeepNesting, ParseRefusesBeyondTheLimit) {
  JsonDocument doc = JsonDocument::create();
  EXPECT_TRUE(doc.parse(nested(json::kMaxJsonDepth)));
  EXPECT_FALSE(doc.parse(nested(json::kMaxJsonDepth + 1)));
  EXPECT_FALSE(doc.parse(nested(1000000)));
  EXPECT_FALSE(doc.parse(std::string(1000000, '[')));
  std::string objects;
  for (int i = 0; i < 1000000; ++i) objects += "{\"a\":";
  EXPECT_FALSE(doc.parse(objects + "1" + std::string(1000000, '}')));
  EXPECT_EQ(doc.type_of(), kJsonNull);
}

TEST(JsonDeepNesting, BuiltDeepWalkedWrittenAndDestroyed) {
  // A million levels built directly: destroy and write must not recurse.
  json::Value root = json::Value::array();
  json::Value* at = &root;
  for (int i = 0; i < 1000000; ++i) {
    at->as_array().push_back(json::Value::array());
    at = &at->as_array().back();
  }
  EXPECT_EQ(json::write_json(root), nested(1000001));

  // Through the document: grow past the read limit with edits, then read,
  // copy, write and drop it.
  JsonDocument doc = JsonDocument::create();
  const std::string level = nested(json::kMaxJsonDepth - 1);
  doc.set_json("a", level);
  std::string path = "a";
  for (std::size_t i = 0; i + 1 < json::kMaxJsonDepth; ++i) path += "[0]";
  doc.set_json(path, level);  // below the innermost array: twice as deep
  EXPECT_EQ(doc.type_of(path), kJsonArray);
  EXPECT_EQ(doc.count(path), 1);
  EXPECT_EQ(doc.get_json("a"), nested(2 * (json::kMaxJsonDepth - 1)));
  EXPECT_EQ(doc.get_document("a").type_of(), kJsonNull);  // too deep to read back
  doc.clear();
}

}  // namespace
}  // namespace lumora
