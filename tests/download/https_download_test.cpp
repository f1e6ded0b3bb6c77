// Downloads over TLS from the simulator's audio server with a certificate of
// an authority made for the test: byte-exact files over ten connections,
// one full handshake per task while every later connection resumes it,
// stop and resume, a file changed meanwhile, redirects across schemes and a
// proxy's tunnel; and certificates that must be refused before any byte
// is stored.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/test_support/trusted_authority.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

struct Handshakes {
  int full = 0;
  int resumed = 0;
};

class HttpsTest : public EngineTest {
 protected:
  static void SetUpTestSuite() { authority_ = new TrustedAuthority; }
  static void TearDownTestSuite() {
    delete authority_;
    authority_ = nullptr;
  }
  void SetUp() override {
    EngineTest::SetUp();
    identity_ = std::make_unique<sim::TlsIdentity>(authority_->issue());
    ASSERT_TRUE(*identity_);
    server_ = std::make_unique<sim::AudioServer>(sim::AudioServerOptions{.tls = identity_.get()});
  }
  // What the server saw since its log was cleared: one connection a request.
  static Handshakes handshakes(sim::AudioServer& server) {
    Handshakes h;
    for (const auto& r : server.log().snapshot()) {
      EXPECT_TRUE(r.tls) << r.target;
      ++(r.tls_resumed ? h.resumed : h.full);
    }
    return h;
  }

  static TrustedAuthority* authority_;
  std::unique_ptr<sim::TlsIdentity> identity_;
  std::unique_ptr<sim::AudioServer> server_;
};

TrustedAuthority* HttpsTest::authority_ = nullptr;

// A task's later connections, the connection after a redirect and the
// retry after a dropped answer all take up the first one's session.
TEST_F(HttpsTest, TenConnectionsAreExactAndOnlyTheFirstHandshakeIsFull) {
  struct Case {
    const char* what;
    sim::AudioFaults faults;
  };
  const Case cases[] = {
      {"plain file", {}},
      {"redirected first", {.relative_redirect = true}},
      {"an answer dropped once",
       {.drop = sim::AudioFaults::Drop::once, .drop_after_bytes = 30000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::AudioFile f = server_->add_file(1000000, c.faults);
    const std::string name = std::string(c.what) + ".mp3";
    server_->log().clear();
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(f.url, name));
    EXPECT_EQ(r.outcome, TaskOutcome::kComplete) << r.failure.message;
    EXPECT_EQ(file_sha256(path(name)), server_->sha256(f.path));
    const Handshakes h = handshakes(*server_);
    EXPECT_EQ(h.full, 1);
    EXPECT_GE(h.resumed, 9);
  }
}

TEST_F(HttpsTest, StopThenResumeEndsAsTheFileOnTheServer) {
  struct Case {
    const char* what;
    bool replaced;
  };
  for (const Case c : {Case{"same file", false}, Case{"replaced meanwhile", true}}) {
    SCOPED_TRACE(c.what);
    const sim::AudioFile f = server_->add_file(2000000, {.rate_cap = 100000});
    const std::string name = std::string(c.what) + ".mp3";
    stop_after(f.url, name, 400000);
    if (c.replaced) server_->replace_content(f.path, 1500000);
    server_->set_faults(f.path, {});
    server_->log().clear();
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(f.url, name));
    EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
    EXPECT_EQ(files(), std::vector<std::string>{name});
    EXPECT_EQ(file_sha256(path(name)), server_->sha256(f.path));
    std::filesystem::remove(path(name));
    const auto requests = server_->log().matching(f.path);
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(requests.front().has_header("If-Range"));
  }
}

std::string date_in(long seconds) {
  const std::time_t t = std::time(nullptr) + seconds;
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
  return text;
}

TEST_F(HttpsTest, RefusedCertificatesFailBeforeAnyByteIsStored) {
  TrustedAuthority* trusted = authority_;
  const sim::TlsIdentity stranger = sim::make_tls_authority("Stranger authority");
  struct Case {
    const char* what;
    sim::TlsIdentity identity;
    std::string words;
    const char* host = "127.0.0.1";  // in the address, for a name's check
  };
  Case cases[] = {
      {"self-signed", sim::make_tls_identity(), "certificate not trusted: self-signed"},
      {"another authority's", sim::issue_tls_identity(stranger, {}),
       "certificate not trusted: unknown issuer Stranger authority"},
      {"another host's", trusted->issue({.names = {"other.example"}}),
       "certificate is for other.example, not 127.0.0.1"},
      {"another host's, reached by name", trusted->issue({.names = {"other.example"}}),
       "certificate is for other.example, not localhost", "localhost"},
      {"expired", trusted->issue({.valid_from_s = -2 * 86400, .valid_until_s = -86400}),
       "certificate expired on " + date_in(-86400)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.identity);
    sim::AudioServer server({.tls = &c.identity});
    const sim::AudioFile f = server.add_file(100000);
    Recorder recorder;
    const auto started = Clock::now();
    std::string url = f.url;
    url.replace(url.find("127.0.0.1"), 9, c.host);
    const TaskResult r = run_to_end(recorder, param_for(url, "a.mp3"));
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.failure.kind, FailureKind::kCertificate);
    EXPECT_EQ(r.failure.message, c.words);
    // No retry: a certificate does not change in five seconds.
    EXPECT_EQ(recorder.count(TaskEventKind::kConnectionStarted), 1);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(4));
    EXPECT_TRUE(server.log().snapshot().empty());
    EXPECT_TRUE(files().empty());
  }
}

TEST_F(HttpsTest, RedirectsGoBetweenHttpAndHttps) {
  sim::AudioServer plain;
  struct Case {
    const char* what;
    sim::AudioServer& from;
    sim::AudioServer& to;
  };
  const Case cases[] = {{"http to https", plain, *server_}, {"https to http", *server_, plain}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::AudioFile target = c.to.add_file(300000);
    const sim::AudioFile first = c.from.add_file(1, {.redirect_to = target.url});
    const std::string name = std::string(c.what) + ".mp3";
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(first.url, name));
    EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(path(name)), c.to.sha256(target.path));
  }
}

// The proxy carries the encrypted stream and never sees a request.
TEST_F(HttpsTest, ThroughAProxyInATunnel) {
  LoopbackServer proxy(LoopbackServer::proxy());
  const sim::AudioFile f = server_->add_file(500000);
  TaskParam p = param_for(f.url, "p.mp3");
  p.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  Recorder recorder;
  const TaskResult r = run_to_end(recorder, p);
  EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("p.mp3")), server_->sha256(f.path));
  const auto heads = proxy.heads();
  ASSERT_GE(heads.size(), 10u);
  const std::string authority = "127.0.0.1:" + std::to_string(server_->port());
  for (const std::string& h : heads)
    EXPECT_EQ(h, "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n");
}

}  // namespace
}  // namespace lumora::test
