// http_request against the platform simulator: HTTPS with its self-signed
// certificate, redirects that set cookies, and concurrent callers.
#include <gtest/gtest.h>

#include <thread>

#include "lumora/net/http_request.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/sim/simulator.h"

namespace lumora {
namespace {

using sim::AudioFaults;
using sim::Simulator;

std::string text(const ByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

std::string sha_of(const ByteArray& bytes) { return sim::sha256_hex(bytes); }

class HttpRequestSimTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { simulator = new Simulator; }
  static void TearDownTestSuite() { delete simulator; }
  static Simulator* simulator;
};
Simulator* HttpRequestSimTest::simulator = nullptr;

TEST_F(HttpRequestSimTest, HttpsWithSelfSignedCertificate) {
  int status = 0;
  const std::string body = text(http_request(simulator->search_url(sim::kKeyword, 1), {.status_out = &status}));
  EXPECT_EQ(status, 200);
  EXPECT_NE(body.find("\"totalPage\":3"), std::string::npos);

  // Without the certificate option the same address fails as a whole.
  RequestComponent strict;
  ASSERT_TRUE(strict.open("GET", simulator->search_url(sim::kKeyword)));
  EXPECT_FALSE(strict.send());
  EXPECT_EQ(strict.status(), 0);
  EXPECT_TRUE(strict.response_body().empty());
}

TEST_F(HttpRequestSimTest, RedirectsCarryTheCookieTheySet) {
  const sim::AudioFile file = simulator->audio().add_file(30000, {.redirect_with_cookie = true});
  const std::string expected = simulator->audio().sha256(file.path);
  int status = 0;
  EXPECT_EQ(sha_of(http_request(file.url, {.status_out = &status})), expected);
  EXPECT_EQ(status, 200);

  Text cookies_out;
  http_request(file.url, {.cookies_out = &cookies_out, .status_out = &status, .no_redirect = true});
  EXPECT_EQ(status, 302);
  EXPECT_TRUE(cookies_out.starts_with("lumora_ticket=")) << cookies_out;

  simulator->audio().set_faults(file.path, {.relative_redirect = true});
  EXPECT_EQ(sha_of(http_request(file.url)), expected);
}

TEST_F(HttpRequestSimTest, TwoThreadsAtOnce) {
  const sim::SimAlbum& album = *simulator->catalogue().album(sim::albums::kFortyFiveTracks);
  std::vector<std::string> searches, files;
  std::thread searcher([&] {
    for (int page = 1; page <= 3; ++page) searches.push_back(text(http_request(simulator->search_url(sim::kKeyword, page))));
  });
  std::thread fetcher([&] {
    for (int i = 0; i < 6; ++i) files.push_back(sha_of(http_request(album.tracks[i].play_url)));
  });
  searcher.join();
  fetcher.join();
  ASSERT_EQ(searches.size(), 3u);
  for (const std::string& page : searches) EXPECT_NE(page.find("\"totalPage\":3"), std::string::npos);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(files[i], simulator->expected_sha256(album.tracks[i]));
}

}  // namespace
}  // namespace lumora
