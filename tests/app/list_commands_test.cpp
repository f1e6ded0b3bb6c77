#include "lumora/app/list_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "lumora/app/program_paths.h"
#include "lumora/text/code_page.h"
#include "lumora/ui/qt_text.h"
#include "shell_fixture.h"

namespace lumora::test {
namespace {

constexpr WindowId kTrack = WindowId::track;
constexpr ControlName kList = u8"超级列表框1";

class ListCommandsTest : public ShellTest {
 protected:
  // Records each check-change event with the state the row has when it runs.
  void record_check_events() {
    shell_->handlers().on_check_changed = [this](const EventArgs& a) {
      events_.push_back({a.row, a.state, controls().is_checked(kTrack, kList, a.row)});
    };
  }
  bool enabled(ControlName item) { return controls().is_enabled(kTrack, item); }

  struct CheckEvent {
    int row, state;
    bool checked_when_handled;
    bool operator==(const CheckEvent&) const = default;
  };
  std::vector<CheckEvent> events_;
};

TEST_F(ListCommandsTest, OnlyTheUsersOwnTogglesRaiseCheckEvents) {
  open_track_with_rows(5);
  record_check_events();
  ListView* list = track_list();
  // Each event is handled before the next toggle, so it sees its own result.
  auto then_handled = [&](std::size_t n) { ASSERT_TRUE(pump_until([&] { return events_.size() >= n; })); };
  click_check_box(2);
  then_handled(1);
  click_check_box(2);
  then_handled(2);
  // Space toggles the current row, whichever of its cells is current.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(3, 1)).center());
  QTest::keyClick(list, Qt::Key_Space);
  then_handled(3);
  QTest::keyClick(list, Qt::Key_Space);
  then_handled(4);
  const std::vector<CheckEvent> expected = {
      {2, 1, true}, {2, 0, false}, {3, 1, true}, {3, 0, false}};
  EXPECT_EQ(events_, expected);

  // The program's own writes raise nothing.
  events_.clear();
  controls().set_checked(kTrack, kList, 0, true);
  controls().append_row(kTrack, kList);
  controls().set_cell(kTrack, kList, 1, 3, "x");
  list->topLevelItem(1)->setFlags(list->topLevelItem(1)->flags());
  shell_->handlers().uncheck_all({});
  QCoreApplication::processEvents();
  EXPECT_TRUE(events_.empty());
  EXPECT_FALSE(controls().is_checked(kTrack, kList, 0));
}

TEST_F(ListCommandsTest, UncheckAllClearsEveryRowAndTheCounter) {
  open_track_with_rows(30);
  for (int row = 0; row < 30; row += 3) controls().set_checked(kTrack, kList, row, true);
  shell_->checked_rows().value = 12;
  record_check_events();
  shell_->handlers().uncheck_all({});
  for (int row = 0; row < 30; ++row) EXPECT_FALSE(controls().is_checked(kTrack, kList, row));
  EXPECT_EQ(shell_->checked_rows().value, 0);
  EXPECT_EQ(controls().part_text(kTrack, u8"状态条1", 1), gbk(u8"取消全部勾选状态！"));
  EXPECT_TRUE(enabled(u8"全部选中"));
  EXPECT_FALSE(enabled(u8"取消选中"));
  QCoreApplication::processEvents();
  EXPECT_TRUE(events_.empty());
}

// Stand-ins for the queue's right-click and check-all handlers, doing what
// they document, so the shell's part of the protocol (menu, queued command,
// uncheck all) is exercised end to end.
class MenuProtocolTest : public ListCommandsTest {
 protected:
  void SetUp() override {
    ListCommandsTest::SetUp();
    open_track_with_rows(4);
    Handlers& h = shell_->handlers();
    h.on_list_right_click = [this](const EventArgs&) {
      if (controls().current_row(kTrack, kList) == -1) return;
      controls().popup_menu(kTrack, u8"右键菜单");
      controls().set_enabled(kTrack, u8"取消选中", false);
    };
    h.check_all = [this](const EventArgs&) {
      controls().set_enabled(kTrack, u8"取消选中", true);
      const int rows = controls().row_count(kTrack, kList);
      for (int row = 0; row < rows; ++row) controls().set_checked(kTrack, kList, row, true);
      shell_->checked_rows().value = controls().row_count(kTrack, kList);
      controls().set_enabled(kTrack, u8"全部选中", false);
    };
  }

  // Right-clicks row 0 and, once the menu is up, chooses `item` or dismisses it.
  void right_click(std::optional<ControlName> item) {
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      driver.stop();
      if (item) {
        QAction* action = menu->findChild<QAction*>(qstring_of_name(*item));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
      } else {
        QTest::keyClick(menu, Qt::Key_Escape);
      }
    });
    driver.start(5);
    ListView* list = track_list();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                      list->visualRect(list->model()->index(0, 1)).center());
    QCoreApplication::processEvents();  // the chosen item's queued command
  }
};

TEST_F(MenuProtocolTest, ItemStatesFollowTheProtocol) {
  struct Step {
    const char* what;
    std::optional<ControlName> choose;
    bool check_all_enabled, uncheck_enabled;
  };
  EXPECT_TRUE(enabled(u8"全部选中"));
  EXPECT_TRUE(enabled(u8"取消选中"));
  const Step steps[] = {
      {"check all", ControlName(u8"全部选中"), false, true},
      {"uncheck all", ControlName(u8"取消选中"), true, false},
      {"check all again", ControlName(u8"全部选中"), false, true},
      {"dismissed", std::nullopt, false, false},
      {"dismissed again", std::nullopt, false, false},
  };
  for (const Step& s : steps) {
    right_click(s.choose);
    EXPECT_EQ(enabled(u8"全部选中"), s.check_all_enabled) << s.what;
    EXPECT_EQ(enabled(u8"取消选中"), s.uncheck_enabled) << s.what;
  }
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // A new Track window starts with both enabled.
  close_track_window();
  shell_->open_track_window();
  EXPECT_TRUE(enabled(u8"全部选中"));
  EXPECT_TRUE(enabled(u8"取消选中"));
}

TEST_F(ListCommandsTest, ChosenFolderGetsOneTrailingSlash) {
  shell_->open_track_window();
  const std::pair<Text, Text> cases[] = {
      {"/music", "/music/"}, {"/", "/"}, {"/data/x/", "/data/x/"},
      {gbk(u8"/home/音乐"), gbk(u8"/home/音乐/")}};
  for (const auto& [chosen, box] : cases) {
    int shown = 0;
    shell_->set_folder_dialog([&, chosen = chosen] {
      ++shown;
      return chosen;
    });
    QTest::mouseClick(track_window()->findChild<QWidget*>(QStringLiteral("按钮1")),
                      Qt::LeftButton);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(controls().text(kTrack, u8"编辑框_下载目录"), box) << chosen;
  }
}

TEST_F(ListCommandsTest, CancelledChoiceUsesTheDefaultFolderAndCreatesIt) {
  namespace fs = std::filesystem;
  shell_->open_track_window();
  shell_->set_folder_dialog([] { return Text(); });
  const Text expected = program_directory() + "/LumoraFM/";
  const fs::path folder(gbk_to_utf8(expected));
  fs::remove_all(folder);
  auto choose = [&] {
    QTest::mouseClick(track_window()->findChild<QWidget*>(QStringLiteral("按钮1")),
                      Qt::LeftButton);
  };
  choose();
  EXPECT_EQ(controls().text(kTrack, u8"编辑框_下载目录"), expected);
  EXPECT_TRUE(fs::is_directory(folder));
  // An existing folder is left as it is.
  std::ofstream(folder / "kept.mp3") << "x";
  controls().set_text(kTrack, u8"编辑框_下载目录", "elsewhere/");
  choose();
  EXPECT_EQ(controls().text(kTrack, u8"编辑框_下载目录"), expected);
  EXPECT_TRUE(fs::exists(folder / "kept.mp3"));
  fs::remove_all(folder);
}

TEST_F(ListCommandsTest, ReopenedTrackWindowStartsAfreshButKeepsTheCounter) {
  open_track_with_rows(3);
  controls().set_text(kTrack, u8"编辑框_下载目录", "/x/");
  controls().set_part_text(kTrack, u8"状态条1", 1, "x");
  controls().set_part_text(kTrack, u8"状态条1", 3, "x");
  controls().set_enabled(kTrack, u8"全部选中", false);
  controls().set_enabled(kTrack, u8"按钮_停止下载", true);
  shell_->checked_rows().value = 7;
  close_track_window();
  EXPECT_EQ(track_window(), nullptr);
  EXPECT_EQ(controls().row_count(kTrack, kList), 0);
  shell_->open_track_window();
  EXPECT_EQ(controls().row_count(kTrack, kList), 0);
  EXPECT_EQ(controls().text(kTrack, u8"编辑框_下载目录"), home_folder());
  EXPECT_EQ(controls().part_text(kTrack, u8"状态条1", 1), gbk(u8"【Lumora团队】"));
  EXPECT_EQ(controls().part_text(kTrack, u8"状态条1", 3), gbk(u8"已下载：0"));
  EXPECT_TRUE(enabled(u8"全部选中"));
  EXPECT_FALSE(enabled(u8"按钮_停止下载"));
  EXPECT_EQ(shell_->checked_rows().value, 7);
}

TEST_F(ListCommandsTest, WorkerWritingAfterTheTrackWindowClosedIsHarmless) {
  open_track_with_rows(1);
  std::atomic<int> calls{0}, last_row{0};
  std::atomic<bool> stop{false}, done{false};
  std::thread worker([&] {
    while (!stop) {
      last_row = controls().append_row(kTrack, kList);
      controls().set_cell(kTrack, kList, last_row, 1, gbk(u8"标题"));
      controls().scroll_to_row(kTrack, kList, last_row);
      controls().set_part_text(kTrack, u8"状态条1", 1, std::to_string(calls));
      ++calls;
    }
    done = true;
  });
  ASSERT_TRUE(pump_until([&] { return calls > 20; }));
  close_track_window();
  const int at_close = calls;
  ASSERT_TRUE(pump_until([&] { return calls > at_close + 20; }));
  stop = true;
  const bool finished = pump_until([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(last_row, -1);
}

}  // namespace
}  // namespace lumora::test
