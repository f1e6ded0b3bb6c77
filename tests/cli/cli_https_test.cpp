// get with an album whose track addresses are https: every track whole over
// TLS when the certificate is trusted (the child inherits SSL_CERT_FILE),
// and each track failed with the certificate's trouble in words when not.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "cli_fixture.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/sim/simulator.h"
#include "lumora/sim/tls_identity.h"
#include "lumora/test_support/child_process.h"
#include "lumora/test_support/temp_folder.h"
#include "lumora/test_support/trusted_authority.h"

namespace lumora::test {
namespace {

using sim::albums::kTwentyTracks;

class CliHttpsTest : public ::testing::Test {
 protected:
  RunResult get(const sim::Simulator& s, const std::string& tracks) const {
    return run_program(LUMORAFM_CLI_PATH,
                       {"--search-base", s.search_base(), "--mobile-base", s.mobile_base(), "get",
                        std::to_string(kTwentyTracks), "--dir", folder_.string(), "--tracks",
                        tracks});
  }

  TrustedAuthority authority_;
  TempFolder temp_{"lumora-cli-https"};
  const std::filesystem::path folder_ = temp_.path();
};

TEST_F(CliHttpsTest, GetFetchesAnHttpsAlbumWhole) {
  const sim::TlsIdentity identity = authority_.issue();
  sim::Simulator s({.audio_tls = &identity});
  ASSERT_EQ(s.audio_base().rfind("https://", 0), 0u);
  const RunResult r = get(s, "1-6");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("done 6, skipped 0, failed 0 - "), std::string::npos) << r.out;
  const sim::SimAlbum& album = *s.catalogue().album(kTwentyTracks);
  for (int i = 0; i < 6; ++i) {
    const sim::SimTrack& t = album.tracks[static_cast<std::size_t>(i)];
    EXPECT_EQ(sim::file_sha256((folder_ / (t.title + ".mp3")).string()), s.expected_sha256(t))
        << t.title;
  }
  for (const sim::LoggedRequest& request : s.audio_log().snapshot())
    EXPECT_TRUE(request.tls) << request.target;
}

TEST_F(CliHttpsTest, AnUntrustedCertificateFailsEachTrackWithItsReason) {
  const sim::TlsIdentity self_signed = sim::make_tls_identity();
  sim::Simulator s({.audio_tls = &self_signed});
  const RunResult r = get(s, "1-2");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("done 0, skipped 0, failed 2 - "), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("certificate not trusted: self-signed"), std::string::npos) << r.err;
  EXPECT_TRUE(s.audio_log().snapshot().empty());
}

}  // namespace
}  // namespace lumora::test
