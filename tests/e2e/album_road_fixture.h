// The real application in this process, on offscreen widgets, against the
// platform simulator; driven through its widgets as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPoint>
#include <QString>
#include <QTest>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "lumora/app/application.h"
#include "lumora/sim/simulator.h"
#include "lumora/test_support/temp_folder.h"
#include "lumora/ui/list_view.h"

namespace lumora::e2e {

class AlbumRoad : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  Controls& controls() { return app_->shell().controls(); }
  QWidget* main_window() { return app_->shell().main_window(); }
  QWidget* track_window() { return app_->shell().track_window(); }
  ListView* album_list();
  ListView* track_list();
  QAbstractButton* track_button(const char8_t* name);

  // Types `keyword` (UTF-8) into the keyword box, clicks the search button
  // and waits for `expected_rows` album rows.
  void search(const QString& keyword, int expected_rows);
  // Double-clicks the album's row and waits for the listing to finish.
  void open_album(std::int64_t album_id);
  // Ticks every row through the context menu's select-all item.
  void check_all_rows();
  // Opens the Track window and writes the album's first `count` tracks into
  // it as a listing does (title, address), without asking the platform.
  void list_tracks(std::int64_t album_id, int count);
  // Writes one row into the open Track window as a listing does.
  void add_track_row(const Text& title, const Text& address);
  // Clicks row `row`'s check box; returns once its check event has run.
  void click_check_box(int row);
  // Puts the cursor on row `row` (or below the last row when `row` is -1),
  // right-clicks there and, once the menu is up, chooses `item` or dismisses
  // the menu. Returns where the menu opened (global), or nothing when none did.
  std::optional<QPoint> right_click(int row, std::optional<ControlName> item);
  // Chooses `folder` through the folder button (only the dialog is replaced).
  void choose_folder(const std::filesystem::path& folder);
  // Clicks "下载选中"; the walk runs inside the click and is over on return.
  void download_checked();

  // "下载选中" enabled and "停止下载" disabled.
  bool buttons_idle();
  Text track_cell(int row, int column);
  Text status_part(int part);
  // Waits, processing events, until `done` holds; false after `ms`.
  template <typename F>
  static bool wait_for(F done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
  }

  static std::string sha256_of_file(const std::filesystem::path& file);

  // Runs this binary again, as a second run of the program, with only the
  // test `test_name` (a DISABLED_ one); it uses this simulator and folder.
  // Its exit code, or 128 + the signal that ended it.
  int run_child(const std::string& test_name);
  static constexpr const char* kChildSearch = "LUMORA_E2E_SEARCH";
  static constexpr const char* kChildMobile = "LUMORA_E2E_MOBILE";
  static constexpr const char* kChildFolder = "LUMORA_E2E_FOLDER";
  bool child_ = false;

  static sim::Simulator* sim_;
  std::unique_ptr<ExitRoutines> exits_;
  std::unique_ptr<Application> app_;
  std::optional<test::TempFolder> temp_;  // none in a second run: it uses its parent's folder
  std::filesystem::path folder_;
};

}  // namespace lumora::e2e
