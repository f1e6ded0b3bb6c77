#include "lumora/download/address.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

struct AddressCase {
  const char* text;
  bool accepted;
  Scheme scheme;
  const char* host;
  int port;
  const char* path;
};

TEST(ParseAddress, SchemesPortsAndRefusals) {
  const AddressCase cases[] = {
      {"http://a.example/x/y.mp3", true, Scheme::kHttp, "a.example", 80, "/x/y.mp3"},
      {"HTTP://A.example/", true, Scheme::kHttp, "A.example", 80, "/"},
      {"http://h:8080/f", true, Scheme::kHttp, "h", 8080, "/f"},
      {"ftp://files/pub/a", true, Scheme::kFtp, "files", 21, "/pub/a"},
      {"ftp://u:p@files:2121/a", true, Scheme::kFtp, "files", 2121, "/a"},
      // User information leaves the scheme's port as it is.
      {"http://u:p@web/a", true, Scheme::kHttp, "web", 80, "/a"},
      {"ftp://u@files/a", true, Scheme::kFtp, "files", 21, "/a"},
      {"http://u:p:q@web:81/a", true, Scheme::kHttp, "web", 81, "/a"},
      {"mms://media/s", true, Scheme::kMms, "media", 1755, "/s"},
      {"mmst://media/s", true, Scheme::kMms, "media", 1755, "/s"},
      {"rtsp://media/s", true, Scheme::kRtsp, "media", 554, "/s"},
      {"https://secure/a", true, Scheme::kHttps, "secure", 443, "/a"},
      {"HTTPS://secure:8443/a", true, Scheme::kHttps, "secure", 8443, "/a"},
      {"http://[::1]:8080/a.mp3", true, Scheme::kHttp, "::1", 8080, "/a.mp3"},
      {"https://[2001:db8::7]/a", true, Scheme::kHttps, "2001:db8::7", 443, "/a"},
      {"ftp://u:p@[::1]:2121/a", true, Scheme::kFtp, "::1", 2121, "/a"},
      {"ftp://u@[::1]/a", true, Scheme::kFtp, "::1", 21, "/a"},
      {"http://[::1/a", false, Scheme::kHttp, "", 0, ""},
      {"http://[::1]x/a", false, Scheme::kHttp, "", 0, ""},
      {"http://[]/a", false, Scheme::kHttp, "", 0, ""},
      {"http://[::1]:/a", false, Scheme::kHttp, "", 0, ""},
      {"http://::1/a", false, Scheme::kHttp, "", 0, ""},
      {"httpx://h/a", false, Scheme::kHttp, "", 0, ""},
      {"http://no-path", false, Scheme::kHttp, "", 0, ""},
      {"http:///a", false, Scheme::kHttp, "", 0, ""},
      {"http://h:0/a", false, Scheme::kHttp, "", 0, ""},
      {"http://h:99999/a", false, Scheme::kHttp, "", 0, ""},
      {"http://h:8x/a", false, Scheme::kHttp, "", 0, ""},
      {"gopher://h/a", false, Scheme::kHttp, "", 0, ""},
      {"", false, Scheme::kHttp, "", 0, ""},
      {"h", false, Scheme::kHttp, "", 0, ""},
      {"http://h/a\r\nX-Injected: 1", false, Scheme::kHttp, "", 0, ""},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.text);
    const auto a = parse_address(c.text);
    ASSERT_EQ(a.has_value(), c.accepted);
    if (!a) continue;
    EXPECT_EQ(a->scheme, c.scheme);
    EXPECT_EQ(a->host, c.host);
    EXPECT_EQ(a->port, c.port);
    EXPECT_EQ(a->path, c.path);
  }
}

TEST(ParseAddress, HostPartKeptAsWrittenTheHostLineWithoutUserInformation) {
  EXPECT_EQ(parse_address("http://Web.Example:81/a")->authority(), "Web.Example:81");
  EXPECT_EQ(parse_address("http://Web.Example:81/a")->whole(), "http://Web.Example:81/a");
  // The Host line carries an IPv6 literal in its brackets.
  EXPECT_EQ(parse_address("http://[::1]:81/a")->authority(), "[::1]:81");
  EXPECT_EQ(parse_address("HTTPS://[::1]/a")->whole(), "https://[::1]/a");
  const Address a = *parse_address("http://u:s@cr@Web.Example/a");
  EXPECT_EQ(a.authority(), "Web.Example");
  EXPECT_EQ(a.user, "u");
  EXPECT_EQ(a.password, "s@cr");
}

TEST(ParseAddress, SameOriginIsSchemeHostAndPort) {
  const Address a = *parse_address("http://u:p@Host.example:81/dir/a.mp3");
  struct Case {
    const char* other;
    bool same;
  } cases[] = {
      {"http://host.EXAMPLE:81/other/b.mp3", true},
      {"http://Host.example/a.mp3", false},
      {"http://Host.example:82/a.mp3", false},
      {"http://other.example:81/a.mp3", false},
      {"ftp://Host.example:81/a.mp3", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.other);
    EXPECT_EQ(same_origin(a, *parse_address(c.other)), c.same);
  }
}

// A "%" that does not start two hex digits is a character of its own, also
// at the very end.
TEST(PercentDecoded, EscapesAndStrayPercents) {
  EXPECT_EQ(percent_decoded("p%40ss%3A%3a"), "p@ss::");
  EXPECT_EQ(percent_decoded("%zz%4%"), "%zz%4%");
  EXPECT_EQ(percent_decoded("a%2"), "a%2");
  EXPECT_EQ(percent_decoded("%00"), std::string(1, '\0'));
}

TEST(ResolveLocation, AbsoluteRelativeAndRefused) {
  const Address current = *parse_address("http://h:81/dir/sub/file.mp3");
  struct Case {
    const char* location;
    const char* whole;  // nullptr: refused
  } cases[] = {
      {"http://other/x.mp3", "http://other/x.mp3"},
      {"moved/x.mp3", "http://h:81/dir/sub/moved/x.mp3"},
      {"/root.mp3", "http://h:81/root.mp3"},
      {"ftp://h/x", nullptr},
      {"FTP://h/x", nullptr},
      {"https://h/x", "https://h/x"},
      {"HTTPS://h:8443/x", "https://h:8443/x"},
      {"http://[::1]:82/x", "http://[::1]:82/x"},
      {"http://nopath", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    const auto a = resolve_location(current, c.location);
    ASSERT_EQ(a.has_value(), c.whole != nullptr);
    if (a) {
      EXPECT_EQ(a->whole(), c.whole);
    }
  }
}

TEST(ResolveLocation, RelativeKeepsTheSchemeOfTheAnswer) {
  const Address secure = *parse_address("https://h/dir/a.mp3");
  EXPECT_EQ(resolve_location(secure, "b.mp3")->whole(), "https://h/dir/b.mp3");
  EXPECT_EQ(resolve_location(secure, "http://h/c.mp3")->scheme, Scheme::kHttp);
}

}  // namespace
}  // namespace lumora
