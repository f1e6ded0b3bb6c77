#include "lumora/cli/cli_options.h"

#include <gtest/gtest.h>

namespace lumora::cli {
namespace {

TEST(CliOptions, GoodCommandLines) {
  const ParseResult get = parse_command_line({"--demo", "get", "3700002", "--dir", "/tmp/x",
                                              "--tracks=1-5,9", "--skip-existing", "--tag",
                                              "--jobs", "3"});
  ASSERT_EQ(get.error, "");
  EXPECT_TRUE(get.options.demo);
  EXPECT_EQ(get.options.command, Command::get);
  EXPECT_EQ(get.options.argument, "3700002");
  EXPECT_EQ(get.options.dir, "/tmp/x");
  EXPECT_EQ(get.options.tracks, "1-5,9");
  EXPECT_TRUE(get.options.skip_existing && get.options.tag);
  EXPECT_EQ(get.options.jobs, 3);

  const ParseResult search = parse_command_line(
      {"--search-base", "https://127.0.0.1:443", "--mobile-base=http://[::1]:80", "search",
       "--json", "心理罪"});
  ASSERT_EQ(search.error, "");
  EXPECT_EQ(search.options.search_base, "https://127.0.0.1:443");
  EXPECT_EQ(search.options.mobile_base, "http://[::1]:80");
  EXPECT_EQ(search.options.argument, "心理罪");
  EXPECT_TRUE(search.options.json);

  EXPECT_TRUE(parse_command_line({"get", "--help"}).options.help);
  EXPECT_TRUE(parse_command_line({"--version"}).options.version);
}

TEST(CliOptions, BadCommandLinesNameTheirFault) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{}, "no command"},
      {{"list"}, "unknown command"},
      {{"search"}, "KEYWORD"},
      {{"tracks", "37x"}, "number"},
      {{"tracks", ""}, "number"},
      {{"tracks", "1", "2"}, "unexpected"},
      {{"get", "1"}, "--dir"},
      {{"get", "1", "--dir"}, "wants a value"},
      {{"get", "1", "--dir", "d", "--jobs", "17"}, "--jobs"},
      {{"get", "1", "--dir", "d", "--jobs", "2x"}, "--jobs"},
      {{"search", "a", "--tag"}, "does not belong"},
      {{"tracks", "1", "--tracks", "1"}, "does not belong"},
      {{"get", "1", "--dir", "d", "--json"}, "does not belong"},
      {{"search", "a", "--mobile-base", "http://h"}, "before the command"},
      {{"--search-base", "ftp://h", "search", "a"}, "--search-base"},
      {{"--mobile-base", "http://h/x?y", "search", "a"}, "--mobile-base"},
      {{"--demo=1", "search", "a"}, "takes no value"},
      {{"--colour", "search", "a"}, "unknown option"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ParseResult r = parse_command_line(c.args);
    EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
  }
}

}  // namespace
}  // namespace lumora::cli
