// The walk cut short by the program's own end, then a new run of the
// program over the same ticked tracks and folder: the interrupted track
// resumes and ends under its own name.
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "album_road_fixture.h"
#include "lumora/download/resume_record.h"
#include "lumora/text/code_page.h"

namespace lumora::e2e {
namespace {

namespace fs = std::filesystem;

const QString kKeyword = QString::fromUtf8(sim::kKeyword.data(), sim::kKeyword.size());

// The first run: starts the walk and closes the program from the Main
// window's close button once the first track shows 30 % or more.
TEST_F(AlbumRoad, DISABLED_FirstRunEndsDuringTheWalk) {
  search(kKeyword, 45);
  open_album(sim::albums::kTwentyTracks);
  check_all_rows();
  choose_folder(folder_);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const Text cell = track_cell(0, 3);
    if (cell.find("%-") == Text::npos || std::atoi(cell.c_str()) < 30) return;
    auto* close = main_window()->findChild<QAbstractButton*>(QStringLiteral("解析1"));
    if (close) QTest::mouseClick(close, Qt::LeftButton);  // does not return
  });
  poll.start(20);
  download_checked();
  ADD_FAILURE() << "the walk ended before the program did";
}

TEST_F(AlbumRoad, WalkResumesAfterTheProgramEnded) {
  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kTwentyTracks);
  const sim::SimTrack& first = album.tracks[0];
  sim_->audio().set_faults(first.audio_path, {.rate_cap = 8 * 1024});
  ASSERT_EQ(run_child("DISABLED_FirstRunEndsDuringTheWalk"), 0);

  const fs::path final_name = folder_ / (first.title + ".mp3");
  EXPECT_FALSE(fs::exists(final_name));
  std::ifstream in(final_name.string() + ".part.rec", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const auto record = decode_record(bytes.str());
  ASSERT_TRUE(record);
  ASSERT_GT(record->received_total(), 0);

  // Paced, so what a server pushes past a piece's end stays small.
  sim_->audio().set_faults(first.audio_path, {.rate_cap = 20 * 1024});
  sim_->audio().clear_sent();
  search(kKeyword, 45);
  open_album(sim::albums::kTwentyTracks);
  check_all_rows();
  choose_folder(folder_);
  download_checked();

  EXPECT_EQ(track_cell(0, 3), gbk(u8"下载完成"));
  EXPECT_EQ(sha256_of_file(final_name), sim_->expected_sha256(first));
  EXPECT_FALSE(fs::exists(folder_ / (first.title + "(1).mp3")));
  EXPECT_FALSE(fs::exists(final_name.string() + ".part"));
  EXPECT_FALSE(fs::exists(final_name.string() + ".part.rec"));
  sim_->audio().set_faults(first.audio_path, {});
  // What the first run stored did not come again, but for what the server
  // pushed past a piece's end before its connection closed.
  std::uint64_t again = 0;
  for (const sim::SentSpan& s : sim_->audio().sent(first.audio_path))
    for (const RecordedSegment& d : record->segments) {
      const auto lo = std::max<std::uint64_t>(s.start, static_cast<std::uint64_t>(d.start));
      const auto hi = std::min<std::uint64_t>(s.start + s.length,
                                              static_cast<std::uint64_t>(d.start + d.received));
      if (hi > lo) again += hi - lo;
    }
  EXPECT_LE(again, 10u * 20480u);
  EXPECT_LT(again, static_cast<std::uint64_t>(record->received_total()));
}

}  // namespace
}  // namespace lumora::e2e
