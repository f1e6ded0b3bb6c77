// The download walk through the real widgets: files on disk, byte for byte.
#include <QTimer>
#include <map>
#include <string>
#include <vector>

#include "album_road_fixture.h"
#include "lumora/text/code_page.h"
#include "lumora/app/program_paths.h"
#include "lumora/text/number.h"

namespace lumora::e2e {
namespace {

namespace fs = std::filesystem;

const QString kKeyword = QString::fromUtf8(sim::kKeyword.data(), sim::kKeyword.size());
const Text kDone = gbk(u8"下载完成");
const Text kFailed = gbk(u8"下载失败");

TEST_F(AlbumRoad, WalkDownloadsEveryCheckedTrackByteForByte) {
  search(kKeyword, 45);
  open_album(sim::albums::kTwentyTracks);
  check_all_rows();
  EXPECT_EQ(status_part(1), gbk(u8"选中20个视频"));
  choose_folder(folder_);
  download_checked();

  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kTwentyTracks);
  for (int row = 0; row < 20; ++row) {
    const sim::SimTrack& track = album.tracks[row];
    EXPECT_EQ(track_cell(row, 3), kDone) << row;
    EXPECT_EQ(sha256_of_file(folder_ / (track.title + ".mp3")), sim_->expected_sha256(track))
        << track.title;
  }
  EXPECT_EQ(status_part(3), gbk(u8"已下载：20"));
  EXPECT_EQ(status_part(2), gbk(u8"待下载：0"));
  EXPECT_TRUE(buttons_idle());

  // A second walk numbers the names and overwrites nothing.
  download_checked();
  for (const sim::SimTrack& track : album.tracks) {
    EXPECT_EQ(sha256_of_file(folder_ / (track.title + "(1).mp3")), sim_->expected_sha256(track));
    EXPECT_EQ(sha256_of_file(folder_ / (track.title + ".mp3")), sim_->expected_sha256(track));
  }
}

TEST_F(AlbumRoad, FailedTracksShowFailureAndAreNotCounted) {
  search(kKeyword, 45);
  open_album(sim::albums::kOddTitles);
  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kOddTitles);
  // One more failure: a track whose file is gone.
  int missing_row = -1;
  for (int row = 0; row < static_cast<int>(album.tracks.size()) && missing_row < 0; ++row) {
    if (!album.tracks[row].play_url.empty()) missing_row = row;
  }
  ASSERT_GE(missing_row, 0);
  sim_->audio().set_faults(album.tracks[missing_row].audio_path, {.not_found = true});
  check_all_rows();
  choose_folder(folder_);
  download_checked();

  int done = 0;
  for (int row = 0; row < static_cast<int>(album.tracks.size()); ++row) {
    const sim::SimTrack& track = album.tracks[row];
    if (track.play_url.empty() || row == missing_row) {
      EXPECT_EQ(track_cell(row, 3), kFailed) << row;
      continue;
    }
    EXPECT_EQ(track_cell(row, 3), kDone) << row;
    ++done;
  }
  sim_->audio().set_faults(album.tracks[missing_row].audio_path, {});
  EXPECT_EQ(status_part(3), gbk(u8"已下载：") + decimal_text(done));
  // Titles holding "/" or "\" stay inside the folder; nothing else was written.
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, done);
  EXPECT_TRUE(buttons_idle());
}

TEST_F(AlbumRoad, AnAddressTheEngineRefusesShowsFailure) {
  search(kKeyword, 45);
  open_album(sim::albums::kOneTrack);
  // A row as a listing would write it, with an address the engine refuses.
  const int row = controls().append_row(WindowId::track, u8"超级列表框1");
  controls().set_cell(WindowId::track, u8"超级列表框1", row, 1, "refused");
  controls().set_cell(WindowId::track, u8"超级列表框1", row, 2, "gopher://127.0.0.1:1/x.mp3");
  check_all_rows();
  choose_folder(folder_);
  download_checked();

  EXPECT_EQ(track_cell(0, 3), kDone);
  EXPECT_EQ(track_cell(row, 3), kFailed);
  EXPECT_EQ(status_part(3), gbk(u8"已下载：1"));
  EXPECT_TRUE(buttons_idle());
}

TEST_F(AlbumRoad, StopLetsTheCurrentFileFinishAndEndsTheWalk) {
  search(kKeyword, 45);
  open_album(sim::albums::kTwentyTracks);
  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kTwentyTracks);
  // Slow enough for the progress cell to show before the file is done.
  sim_->audio().set_faults(album.tracks[0].audio_path, {.rate_cap = 64 * 1024});
  check_all_rows();
  choose_folder(folder_);

  QTimer poll;
  bool stop_clicked = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!stop_clicked && track_cell(0, 3).find("%-") != Text::npos) {
      stop_clicked = true;
      QTest::mouseClick(track_button(u8"按钮_停止下载"), Qt::LeftButton);
    }
  });
  poll.start(20);
  download_checked();
  poll.stop();
  sim_->audio().set_faults(album.tracks[0].audio_path, {});

  ASSERT_TRUE(stop_clicked);
  EXPECT_EQ(track_cell(0, 3), kDone);
  EXPECT_EQ(sha256_of_file(folder_ / (album.tracks[0].title + ".mp3")),
            sim_->expected_sha256(album.tracks[0]));
  EXPECT_EQ(track_cell(1, 3), "");
  EXPECT_FALSE(fs::exists(folder_ / (album.tracks[1].title + ".mp3")));
  EXPECT_TRUE(buttons_idle());
}

// Every distinct text the status column of each row shows, in order.
class StatusHistory {
 public:
  explicit StatusHistory(ListView* list) {
    QObject::connect(list->model(), &QAbstractItemModel::dataChanged, list,
                     [this, list](const QModelIndex& first, const QModelIndex& last) {
                       if (first.column() > 3 || last.column() < 3) return;
                       for (int row = first.row(); row <= last.row(); ++row) {
                         const std::string text = list->topLevelItem(row)->text(3).toStdString();
                         std::vector<std::string>& seen = shown_[row];
                         if (seen.empty() || seen.back() != text) seen.push_back(text);
                       }
                     });
  }
  // UTF-8.
  std::vector<std::string> of(int row) const {
    const auto it = shown_.find(row);
    return it == shown_.end() ? std::vector<std::string>{} : it->second;
  }

 private:
  std::map<int, std::vector<std::string>> shown_;
};

TEST_F(AlbumRoad, WalkTakesOnlyTickedRowsEachStartingAsResolving) {
  list_tracks(sim::albums::kTwentyTracks, 4);
  click_check_box(0);
  click_check_box(2);
  choose_folder(folder_);
  StatusHistory history(track_list());
  download_checked();

  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kTwentyTracks);
  for (const int row : {0, 2}) {
    const std::vector<std::string> shown = history.of(row);
    ASSERT_GE(shown.size(), 2u) << row;
    EXPECT_EQ(shown.front(), "正在解析...") << row;
    EXPECT_EQ(shown.back(), "下载完成") << row;
    EXPECT_EQ(sha256_of_file(folder_ / (album.tracks[row].title + ".mp3")),
              sim_->expected_sha256(album.tracks[row]));
  }
  for (const int row : {1, 3}) {
    EXPECT_TRUE(history.of(row).empty()) << row;
    EXPECT_FALSE(fs::exists(folder_ / (album.tracks[row].title + ".mp3"))) << row;
  }
  EXPECT_EQ(status_part(3), gbk(u8"已下载：2"));
  EXPECT_EQ(status_part(2), gbk(u8"待下载：0"));
  EXPECT_TRUE(buttons_idle());
}

TEST_F(AlbumRoad, AnEmptyFolderBoxDownloadsIntoTheDefaultFolder) {
  list_tracks(sim::albums::kOneTrack, 1);
  click_check_box(0);
  const Text expected = program_directory() + "/LumoraFM/";
  const fs::path folder(gbk_to_utf8(expected));
  const bool existed = fs::exists(folder);
  controls().set_text(WindowId::track, u8"编辑框_下载目录", "");
  download_checked();

  const sim::SimTrack& track = sim_->catalogue().album(sim::albums::kOneTrack)->tracks[0];
  const fs::path file = folder / (track.title + ".mp3");
  EXPECT_EQ(track_cell(0, 3), kDone);
  EXPECT_EQ(sha256_of_file(file), sim_->expected_sha256(track));
  EXPECT_EQ(controls().text(WindowId::track, u8"编辑框_下载目录"), expected);
  fs::remove(file);
  if (!existed) fs::remove_all(folder);
}

}  // namespace
}  // namespace lumora::e2e
