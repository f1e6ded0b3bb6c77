// An address with user information: its credentials go as Authorization to
// its own host and port only, and Host and Referer never carry them, also
// after a redirect; the task's log shows neither them nor their Base64.
// Both servers record every request head; another name for the loopback
// host comes through an injected resolver.
#include <netdb.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "lumora/test_support/loopback_server.h"
#include "name_resolver.h"

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

// Every name is the loopback host, at the port asked for.
int loopback_resolve(const char*, const char* service, const addrinfo* hints, addrinfo** result) {
  addrinfo numeric = *hints;
  numeric.ai_flags |= AI_NUMERICHOST;
  return ::getaddrinfo("127.0.0.1", service, &numeric, result);
}

// `text` with each "OWN" and "OTHER" replaced by that server's port.
std::string with_ports(std::string text, int own, int other) {
  for (const auto& [mark, port] : {std::pair{"OTHER", other}, std::pair{"OWN", own}})
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark))
      text.replace(at, std::string(mark).size(), std::to_string(port));
  return text;
}

class CredentialsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    set_resolve_function(loopback_resolve);
  }
  void TearDown() override {
    EngineTest::TearDown();
    set_resolve_function(nullptr);
  }
};

TEST_F(CredentialsTest, CredentialsGoToTheirOwnOriginOnly) {
  LoopbackServer other([](int fd, const std::string&) { answer_file(fd); });
  struct Case {
    const char* what;
    const char* location;  // where the first answer redirects
    const char* next_host; // the Host of the request that follows it
    const char* user;      // the address's user information
    const char* basic;     // what Authorization carries to the own origin
    std::vector<std::string> secrets;  // what no log line may show
  };
  const std::vector<std::string> secret = {"secret", "dXNlcjpzZWNyZXQ="};
  const Case cases[] = {
      {"redirect within the origin", "/moved/b.mp3", "127.0.0.1:OWN", "user:secret@",
       "Basic dXNlcjpzZWNyZXQ=", secret},
      {"redirect to another port of the same host", "http://127.0.0.1:OTHER/b.mp3",
       "127.0.0.1:OTHER", "user:secret@", "Basic dXNlcjpzZWNyZXQ=", secret},
      {"redirect to another name on the same port", "http://elsewhere.test:OWN/b.mp3",
       "elsewhere.test:OWN", "user:secret@", "Basic dXNlcjpzZWNyZXQ=", secret},
      // base64("user:p@ss:")
      {"percent-encoded user information", "/moved/b.mp3", "127.0.0.1:OWN", "us%65r:p%40ss%3a@",
       "Basic dXNlcjpwQHNzOg==", {"p%40ss", "p@ss", "dXNlcjpwQHNzOg=="}},
      {"no user information", "/moved/b.mp3", "127.0.0.1:OWN", "", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string location;
    LoopbackServer own([&](int fd, const std::string& head) {
      if (head.find("GET /dir/a.mp3 ") == 0)
        return (void)send_text(fd, "HTTP/1.1 302 Found\r\nLocation: " + location +
                                       "\r\nContent-Length: 0\r\n\r\n");
      answer_file(fd);
    });
    location = with_ports(c.location, own.port(), other.port());
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
    const std::string hosts[] = {authority, with_ports(c.next_host, own.port(), other.port())};
    for (std::size_t i = 0; i < heads.size(); ++i) {
      SCOPED_TRACE(heads[i]);
      EXPECT_EQ(heads[i].find("@"), std::string::npos);
      EXPECT_EQ(heads[i].find("#start"), std::string::npos);
      EXPECT_EQ(field(heads[i], "Host"), hosts[i]);
      EXPECT_EQ(field(heads[i], "Referer"), "http://" + authority + "/dir");
      EXPECT_EQ(field(heads[i], "Authorization"), hosts[i] == authority ? c.basic : "");
    }
    // The head is logged, its secret masked.
    EXPECT_EQ(recorder.logged("Authorization: Basic ******"), *c.basic != '\0');
    for (const std::string& line : recorder.logs())
      for (const std::string& s : c.secrets) EXPECT_EQ(line.find(s), std::string::npos) << line;
    std::filesystem::remove(path("a.mp3"));
  }
}

}  // namespace
}  // namespace lumora::test
