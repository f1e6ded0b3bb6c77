// An address with user information: its credentials go as Authorization to
// its own host and port only, and Host and Referer never carry them, also
// after a redirect. Both servers record every request head.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

constexpr std::int64_t kSize = 5000;  // one connection

// The value of `name` in a request head, or "" without the line.
std::string field(const std::string& head, const std::string& name) {
  const auto at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "";
  const auto from = at + name.size() + 4;
  return head.substr(from, head.find("\r\n", from) - from);
}

void answer_file(int fd) {
  send_text(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n" +
                    pattern_body(0, kSize));
}

class CredentialsTest : public EngineTest {};

TEST_F(CredentialsTest, CredentialsGoToTheirOwnOriginOnly) {
  LoopbackServer other([](int fd, const std::string&) { answer_file(fd); });
  struct Case {
    const char* what;
    std::string location;  // where the first answer redirects
    bool own_origin;       // the redirect stays on the address's host and port
    const char* user;      // the address's user information
  };
  const Case cases[] = {
      {"redirect within the origin", "/moved/b.mp3", true, "user:secret@"},
      {"redirect to another port of the same host", other.url("/b.mp3"), false, "user:secret@"},
      {"no user information", "/moved/b.mp3", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer own([&](int fd, const std::string& head) {
      if (head.find("GET /dir/a.mp3 ") == 0)
        return (void)send_text(fd, "HTTP/1.1 302 Found\r\nLocation: " + c.location +
                                       "\r\nContent-Length: 0\r\n\r\n");
      answer_file(fd);
    });
    const std::string authority = "127.0.0.1:" + std::to_string(own.port());
    const std::string url = "http://" + std::string(c.user) + authority + "/dir/a.mp3#start";
    const std::size_t earlier = other.heads().size();  // earlier cases' requests
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(url, "a.mp3"));
    EXPECT_EQ(r.outcome, TaskOutcome::kComplete);

    std::vector<std::string> heads = own.heads();
    const std::vector<std::string> elsewhere = other.heads();
    heads.insert(heads.end(), elsewhere.begin() + static_cast<std::ptrdiff_t>(earlier),
                 elsewhere.end());
    ASSERT_EQ(heads.size(), 2u);
    for (std::size_t i = 0; i < heads.size(); ++i) {
      SCOPED_TRACE(heads[i]);
      const bool at_own = i < own.heads().size();
      EXPECT_EQ(heads[i].find("secret@"), std::string::npos);
      EXPECT_EQ(heads[i].find("#start"), std::string::npos);
      EXPECT_EQ(field(heads[i], "Host"),
                at_own ? authority : "127.0.0.1:" + std::to_string(other.port()));
      EXPECT_EQ(field(heads[i], "Referer"), "http://" + authority + "/dir");
      // base64("user:secret")
      const bool sent = at_own && *c.user != '\0';
      EXPECT_EQ(field(heads[i], "Authorization"), sent ? "Basic dXNlcjpzZWNyZXQ=" : "");
    }
    std::filesystem::remove(path("a.mp3"));
  }
}

}  // namespace
}  // namespace lumora::test
