// The download walk over https track addresses: every ticked track through
// the real widgets, over TLS with a certificate the engine trusts, byte for
// byte; one with a certificate it does not trust reads 下载失败.
#include <string>
#include <vector>

#include "album_road_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/sim/tls_identity.h"
#include "lumora/test_support/trusted_authority.h"
#include "lumora/text/code_page.h"

namespace lumora::e2e {
namespace {

TEST_F(AlbumRoad, WalkFetchesHttpsTracksByteForByte) {
  test::TrustedAuthority authority;
  const sim::TlsIdentity trusted = authority.issue();
  const sim::TlsIdentity self_signed = sim::make_tls_identity();
  sim::AudioServer audio({.tls = &trusted});
  sim::AudioServer untrusted({.tls = &self_signed});
  app_->shell().open_track_window();
  std::vector<sim::AudioFile> files;
  for (int i = 0; i < 3; ++i) {
    files.push_back(audio.add_file(300000 + 1000 * static_cast<std::uint64_t>(i)));
    add_track_row(gbk(u8"加密 第") + std::to_string(i + 1) + gbk(u8"集"), files.back().url);
  }
  add_track_row(gbk(u8"不可信"), untrusted.add_file(300000).url);
  check_all_rows();
  choose_folder(folder_);
  download_checked();

  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(track_cell(row, 3), gbk(u8"下载完成")) << row;
    const std::string name = gbk_to_utf8(track_cell(row, 1)) + ".mp3";
    EXPECT_EQ(sha256_of_file(folder_ / name), audio.sha256(files[static_cast<std::size_t>(row)].path))
        << name;
  }
  EXPECT_EQ(track_cell(3, 3), gbk(u8"下载失败"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / (gbk_to_utf8(gbk(u8"不可信")) + ".mp3")));
  EXPECT_EQ(status_part(3), gbk(u8"已下载：3"));
  EXPECT_TRUE(untrusted.log().snapshot().empty());
}

}  // namespace
}  // namespace lumora::e2e
