#include "lumora/queue/download_queue.h"

#include <chrono>
#include <optional>

#include "lumora/controls/control_names.h"
#include "lumora/queue/progress_text.h"
#include "lumora/road/file_name.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

constexpr int kTitleColumn = 1;
constexpr int kAddressColumn = 2;
constexpr int kStatusColumn = 3;
constexpr int kPollMs = 200;
// The task's end is looked at more often than progress is shown, so that the
// next file starts within a few milliseconds rather than up to a poll later.
constexpr int kEndCheckMs = 10;

}  // namespace

DownloadQueue::DownloadQueue(Controls& controls, CheckedRowCounter& checked_rows,
                             Download& download)
    : controls_(controls), checked_rows_(checked_rows), fetch_(download) {}

void DownloadQueue::set_idle(bool idle) {
  controls_.set_enabled(WindowId::track, kStartButton, idle);
  controls_.set_enabled(WindowId::track, kStopButton, !idle);
}

void DownloadQueue::start_download() {
  // A click after "停止下载" while the last file still finishes would start a
  // second walk inside the first one's wait; the first walk ends right after.
  if (walking_) return;
  walking_ = true;
  set_idle(false);
  done_count_ = 0;
  const int rows = controls_.row_count(WindowId::track, kList);
  for (int row = 0; row < rows; ++row) {
    if (!controls_.is_enabled(WindowId::track, kStopButton)) break;
    if (!controls_.is_checked(WindowId::track, kList, row)) continue;
    download_row(row);
  }
  // However the walk ended (all done, stop, failed rows, window closed), the
  // buttons go back to idle rather than claim a download is still running.
  set_idle(true);
  walking_ = false;
}

void DownloadQueue::download_row(int row) {
  static const Text kResolving = gbk(u8"正在解析...");
  static const Text kFailed = gbk(u8"下载失败");
  static const Text kDone = gbk(u8"下载完成");
  controls_.scroll_to_row(WindowId::track, kList, row);
  controls_.set_cell(WindowId::track, kList, row, kStatusColumn, kResolving);
  const Text address = controls_.cell(WindowId::track, kList, row, kAddressColumn);
  if (address.empty()) {
    controls_.set_cell(WindowId::track, kList, row, kStatusColumn, kFailed);
    return;
  }
  const Text title = controls_.cell(WindowId::track, kList, row, kTitleColumn);
  const Text folder = download_folder();
  if (folder.empty() || download_one(address, track_file_path(folder, title), row) != 1 ||
      !last_complete_) {
    controls_.set_cell(WindowId::track, kList, row, kStatusColumn, kFailed);
    return;
  }
  controls_.set_cell(WindowId::track, kList, row, kStatusColumn, kDone);
  ++done_count_;
  pending_count_ = checked_rows_.value - done_count_;
  controls_.set_part_text(WindowId::track, kStatusBar, 3,
                          gbk(u8"已下载：") + decimal_text(done_count_));
  controls_.set_part_text(WindowId::track, kStatusBar, 2,
                          gbk(u8"待下载：") + decimal_text(pending_count_));
  if (pending_count_ == 0) set_idle(true);
}

Text DownloadQueue::download_folder() {
  Text folder = controls_.text(WindowId::track, kFolderBox);
  if (folder.empty() && default_folder_) {
    folder = default_folder_();
    controls_.set_text(WindowId::track, kFolderBox, folder);
  }
  return folder;
}

int DownloadQueue::download_one(const Text& address, const Text& path, int row) {
  last_complete_ = false;
  if (!fetch_.start(address, path)) return 0;
  std::optional<FetchResult> result;
  while (!(result = fetch_.wait(std::chrono::milliseconds(0)))) {
    show_progress(row);
    for (int waited = 0; waited < kPollMs && fetch_.busy(); waited += kEndCheckMs)
      controls_.wait_pumping(kEndCheckMs);
  }
  last_complete_ = result->outcome == TaskOutcome::kComplete;
  return 1;
}

void DownloadQueue::show_progress(int row) {
  // Before the size is known (-1) the percentage is 0.
  const FetchProgress p = fetch_.progress();
  controls_.set_cell(WindowId::track, kList, row, kStatusColumn,
                     progress_text(p.received, static_cast<double>(p.size),
                                   fetch_.take_recent_bytes()));
}

void DownloadQueue::stop_download() { set_idle(true); }

void DownloadQueue::check_all() {
  controls_.set_enabled(WindowId::track, kUncheckAllItem, true);
  const int rows = controls_.row_count(WindowId::track, kList);
  for (int row = 0; row < rows; ++row) controls_.set_checked(WindowId::track, kList, row, true);
  checked_rows_.value = controls_.row_count(WindowId::track, kList);
  controls_.set_part_text(WindowId::track, kStatusBar, 1,
                          gbk(u8"选中") + decimal_text(checked_rows_.value) + gbk(u8"个视频"));
  controls_.set_enabled(WindowId::track, kCheckAllItem, false);
}

void DownloadQueue::on_check_changed(int, int state) {
  checked_rows_.value += state == 1 ? 1 : -1;
  controls_.set_part_text(WindowId::track, kStatusBar, 1,
                          gbk(u8"选中") + decimal_text(checked_rows_.value) + gbk(u8"个音频"));
}

void DownloadQueue::on_list_right_click() {
  if (controls_.current_row(WindowId::track, kList) < 0) return;
  controls_.popup_menu(WindowId::track, kMenu);
  controls_.set_enabled(WindowId::track, kUncheckAllItem, false);
}

}  // namespace lumora
