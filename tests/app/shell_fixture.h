// A shell with its Main window shown, on the offscreen platform, and helpers
// that act on the windows the way a user does.
#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "lumora/app/shell.h"
#include "lumora/test_support/qt_app.h"
#include "lumora/ui/list_view.h"

namespace lumora::test {

class ShellTest : public ::testing::Test {
 public:  // the user-action tables reach in from lambdas
  void SetUp() override;
  void TearDown() override;

  QWidget* main_window() { return shell_->main_window(); }
  QWidget* track_window() { return shell_->track_window(); }
  ListView* track_list();
  Controls& controls() { return shell_->controls(); }
  // Opens the Track window and appends `rows` rows titled "0", "1", ...
  void open_track_with_rows(int rows);
  // Closes the Track window as its close box does and lets it be destroyed.
  void close_track_window();
  // Every handler slot replaced by one that records its own name.
  void record_all_handlers();

  // The point of row `row`'s check box, in viewport coordinates.
  QPoint check_box_point(int row);
  void click_check_box(int row);

  ExitRoutines exits_;
  std::unique_ptr<Shell> shell_;
  std::vector<std::string> calls_;
};

}  // namespace lumora::test
