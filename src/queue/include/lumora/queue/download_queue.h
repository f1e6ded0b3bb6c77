// The download walk: the ticked Track list rows, one file at a time, through
// the program's single Download object (by the road's TrackFetch), with
// progress in the row's status cell and totals in the status bar; and the
// checked-row bookkeeping.
//
// Everything here runs on the UI thread; the fetch's event routine runs on
// the engine's threads and only stores an atomic. The walk polls every
// 200 ms and keeps the windows alive meanwhile, so the other handlers run
// nested inside start_download.
#pragma once

#include <cstdint>
#include <functional>

#include "lumora/controls/controls.h"
#include "lumora/download/download.h"
#include "lumora/download/task_param.h"
#include "lumora/road/track_fetch.h"
#include "lumora/text/text.h"

namespace lumora {

class DownloadQueue {
 public:
  // All three outlive the queue; `download` is the program-wide engine
  // object, reused for every file.
  DownloadQueue(Controls& controls, CheckedRowCounter& checked_rows, Download& download);
  DownloadQueue(const DownloadQueue&) = delete;
  DownloadQueue& operator=(const DownloadQueue&) = delete;

  // The folder an empty folder box stands for (called on the UI thread when
  // the walk reaches a row and finds the box empty; the folder then goes into
  // the box). Without one, or when it gives "", such a row fails: a path is
  // never made from an empty folder.
  using FolderSource = std::function<Text()>;
  void set_default_folder(FolderSource source) { default_folder_ = std::move(source); }

  // Click handlers of "下载选中" and "停止下载".
  void start_download();
  void stop_download();

  // Downloads one file: 1 when its task has ended (see last_file_complete),
  // 0 when the engine refused to start it.
  int download_one(const Text& address, const Text& path, int row);
  bool last_file_complete() const { return last_complete_; }
  // The settings the walk handed the engine for the file it is at, or
  // fetched last. Its event routine keeps the size for the percentage and
  // answers kind 18 so that the engine numbers the name itself.
  const TaskParam& task_param() const { return fetch_.task_param(); }

  // Menu and list handlers.
  void check_all();
  void on_check_changed(int row, int state);
  void on_list_right_click();

  std::int32_t done_count() const { return done_count_; }
  std::int32_t pending_count() const { return pending_count_; }

 private:
  void set_idle(bool idle);
  void download_row(int row);
  void show_progress(int row);
  Text download_folder();

  Controls& controls_;
  CheckedRowCounter& checked_rows_;
  TrackFetch fetch_;
  FolderSource default_folder_;
  bool walking_ = false;
  bool last_complete_ = false;
  std::int32_t done_count_ = 0;
  std::int32_t pending_count_ = 0;
};

}  // namespace lumora
