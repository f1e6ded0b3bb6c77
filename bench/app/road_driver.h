// Drives the real application through its widgets, as a user would, against
// an in-process platform simulator: the road from keyword to files on disk.
// Shared by the road benchmark and the documentation's screenshots.
// UI thread only; create after QApplication and prepare_fonts().
#pragma once

#include <QAbstractButton>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "lumora/app/application.h"
#include "lumora/sim/simulator.h"
#include "lumora/ui/list_view.h"

namespace lumora::bench {

class RoadDriver {
 public:
  explicit RoadDriver(sim::Simulator& sim);
  // Waits for running workers first: they touch the windows.
  ~RoadDriver();
  RoadDriver(const RoadDriver&) = delete;
  RoadDriver& operator=(const RoadDriver&) = delete;

  Application& app() { return *app_; }
  Controls& controls() { return app_->shell().controls(); }
  QWidget* main_window() { return app_->shell().main_window(); }
  QWidget* track_window() { return app_->shell().track_window(); }
  ListView* album_list();
  ListView* track_list();  // null before the Track window exists
  QAbstractButton* track_button(ControlName name);

  // Types `keyword` into the keyword box, clicks "解析" and waits until the
  // search worker has ended. False on a time-out.
  bool search(const QString& keyword);
  // The Album list row that holds `album_id`, or -1.
  int album_row(std::int64_t album_id);
  // Selects and double-clicks the row; returns at once (the listing runs on).
  void double_click_album(int row);
  // Ticks every Track list row through the context menu's "全部选中".
  bool check_all();
  // Chooses `folder` through the folder button; only the dialog is replaced.
  void choose_folder(const std::filesystem::path& folder);
  // Clicks "下载选中": the walk runs inside the click and is over on return.
  void click_download();

  // Runs the event loop (not a sleeping poll: worker calls into the windows
  // are served at once) until `done` holds; false after `ms`.
  static bool run_until(const std::function<bool()>& done, int ms);

 private:
  std::unique_ptr<ExitRoutines> exits_;
  std::unique_ptr<Application> app_;
};

// Lower-case hex SHA-256 of a file's bytes; "missing" when it cannot be read.
std::string sha256_of_file(const std::filesystem::path& file);

}  // namespace lumora::bench
