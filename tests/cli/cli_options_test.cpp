#include "lumora/cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "lumora/version.h"

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

  const ParseResult follow = parse_command_line({"follow", "7", "--dir=/d", "--notify", "-q",
                                                 "--limit-rate", "500K", "--exec", "/bin/x y"});
  ASSERT_EQ(follow.error, "");
  EXPECT_TRUE(follow.options.notify && follow.options.quiet);
  EXPECT_EQ(follow.options.limit_rate, 500 * 1024);
  EXPECT_EQ(follow.options.exec, "/bin/x y");
  EXPECT_EQ(follow.options.dir, "/d");

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
      {{"get", "1", "--dir", "d", "--limit-rate", "0"}, "--limit-rate"},
      {{"get", "1", "--dir", "d", "--limit-rate", "1.5M"}, "--limit-rate"},
      {{"get", "1", "--dir", "d", "--limit-rate", "2048M"}, "--limit-rate"},
      {{"get", "1", "--dir", "d", "--limit-rate=K"}, "--limit-rate"},
      {{"get", "1", "--dir", "d", "--exec="}, "--exec wants a program"},
      {{"get", "1", "--dir", "d", "--notify"}, "does not belong"},
      {{"search", "a", "-q"}, "does not belong"},
      {{"following", "--limit-rate", "1K"}, "does not belong"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ParseResult r = parse_command_line(c.args);
    EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
  }
}

TEST(CliOptions, RatesReadBackAsTheyAreWritten) {
  const std::pair<const char*, std::int64_t> rates[] = {
      {"1", 1}, {"1000", 1000}, {"1k", 1024}, {"500K", 512000}, {"2M", 2097152}, {"2m", 2097152},
      {"2047M", 2047ll << 20}, {"2147483647", 2147483647},
  };
  for (const auto& [text, rate] : rates) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parse_rate(text), rate);
    EXPECT_EQ(parse_rate(rate_text(rate)), rate);
  }
  for (const char* bad : {"", "0", "0K", "-1", "+5", "1.5K", "5G", "2048M", "2147483648", "1KK", "K", " 1"})
    EXPECT_EQ(parse_rate(bad), std::nullopt) << bad;
  EXPECT_EQ(rate_text(512000), "500K");
  EXPECT_EQ(rate_text(1000), "1000");
}

TEST(CliOptions, HelpLinesFitEightyColumnsAndTheVersionIsTheProjects) {
  std::istringstream help(usage_text());
  for (std::string line; std::getline(help, line);) EXPECT_LE(line.size(), 80u) << line;
  EXPECT_EQ(version_text(), std::string("lumorafm-cli ") + kVersion + "\n");
}

}  // namespace
}  // namespace lumora::cli
