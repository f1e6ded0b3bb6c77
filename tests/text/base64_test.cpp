#include "lumora/text/base64.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(Base64Encode, Rfc4648Vectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {"user:pass", "dXNlcjpwYXNz"}, {std::string("\xFF\xFE\x00", 3), "//4A"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(base64_encode(in), out) << in;
}

}  // namespace
}  // namespace lumora
