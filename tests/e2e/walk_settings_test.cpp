// The task settings the walk hands the engine for every file, read while
// each file downloads.
#include <QTimer>
#include <set>

#include "album_road_fixture.h"
#include "lumora/text/code_page.h"

namespace lumora::e2e {
namespace {

TEST_F(AlbumRoad, EveryFileGetsTheWalksTaskSettings) {
  constexpr int kTracks = 3;
  list_tracks(sim::albums::kTwentyTracks, kTracks);
  check_all_rows();
  choose_folder(folder_);
  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kTwentyTracks);

  const DownloadQueue& queue = app_->queue();
  const TaskParam defaults;
  std::set<Text> seen;
  // Runs inside the walk's polls: each file polls at least once.
  QTimer look;
  look.setInterval(5);
  QObject::connect(&look, &QTimer::timeout, [&] {
    const TaskParam& record = queue.task_param();
    if (record.url.empty() || seen.count(record.url)) return;
    seen.insert(record.url);
    SCOPED_TRACE(record.url);
    const auto row = static_cast<std::size_t>(seen.size() - 1);
    EXPECT_EQ(record.url, album.tracks[row].play_url);
    EXPECT_EQ(gbk_to_utf8(record.save_path),
              (folder_ / (album.tracks[row].title + ".mp3")).string());
    EXPECT_EQ(record.mode_flags, 0x1000);
    EXPECT_EQ(record.connections, 10);
    EXPECT_EQ(record.connect_timeout_ms, 5000);
    EXPECT_EQ(record.send_timeout_ms, 5001);
    EXPECT_EQ(record.receive_timeout_ms, 10000);
    EXPECT_EQ(record.stop_wait_ms, 1000);
    EXPECT_EQ(record.receive_block_size, 10240);
    EXPECT_TRUE(record.event_routine);
    // Left at their start-up defaults.
    EXPECT_EQ(record.throughput_cap, defaults.throughput_cap);
    EXPECT_EQ(record.send_block_size, defaults.send_block_size);
    EXPECT_EQ(record.ftp_user, defaults.ftp_user);
    EXPECT_EQ(record.ftp_transfer_mode, defaults.ftp_transfer_mode);
    EXPECT_FALSE(record.proxy);
    EXPECT_FALSE(record.referer);
    EXPECT_FALSE(record.log_routine);
    // The window's walk waits for a slow source as long as it takes.
    EXPECT_FALSE(record.stall_timeout_ms);
  });
  look.start();
  download_checked();
  look.stop();
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kTracks));
  for (int row = 0; row < kTracks; ++row) EXPECT_EQ(track_cell(row, 3), gbk(u8"下载完成"));
}

}  // namespace
}  // namespace lumora::e2e
