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
      // An "@" without a port after it means 21, whatever the scheme.
      {"http://u:p@web/a", true, Scheme::kHttp, "web", 21, "/a"},
      {"mms://media/s", true, Scheme::kMms, "media", 1755, "/s"},
      {"mmst://media/s", true, Scheme::kMms, "media", 1755, "/s"},
      {"rtsp://media/s", true, Scheme::kRtsp, "media", 554, "/s"},
      {"https://secure/a", false, Scheme::kHttp, "", 0, ""},
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

TEST(ParseAddress, HostPartKeptAsWrittenForTheHostLine) {
  EXPECT_EQ(parse_address("http://Web.Example:81/a")->host_part, "Web.Example:81");
  EXPECT_EQ(parse_address("http://Web.Example:81/a")->whole(), "http://Web.Example:81/a");
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
      {"https://h/x", nullptr},
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

}  // namespace
}  // namespace lumora
