#include "lumora/app/event_table.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "lumora/ui/qt_text.h"
#include "shell_fixture.h"

namespace lumora::test {
namespace {

using EventTableTest = ShellTest;

QWidget* child(QWidget* window, ControlName name) {
  return window->findChild<QWidget*>(qstring_of_name(name));
}

int visible_windows() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += w->isVisible() && w->isWindow();
  return n;
}

TEST_F(EventTableTest, StartShowsOnlyTheMainWindow) {
  EXPECT_EQ(visible_windows(), 1);
  EXPECT_TRUE(main_window()->isVisible());
  EXPECT_EQ(track_window(), nullptr);
}

struct UserAction {
  WindowId window;
  ControlName control;
  EventKind event;
  std::function<void(ShellTest&)> act;
  std::vector<std::string> expected;
};

void choose_menu_item(QWidget* track, ControlName item) {
  auto* menu = track->findChild<QMenu*>(QStringLiteral("右键菜单"));
  menu->popup(QPoint(100, 100));
  QAction* action = menu->findChild<QAction*>(qstring_of_name(item));
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

TEST_F(EventTableTest, EveryBindingReachesItsHandler) {
  using enum WindowId;
  using enum EventKind;
  auto press = [](QWidget* w, QPoint at) {
    QTest::mousePress(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
  };
  auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };
  const std::vector<UserAction> actions = {
      {main, u8"", created, [](ShellTest& t) {
         delete t.shell_->main_window();
         t.shell_->show_main_window();
       }, {"style_album_list"}},
      {main, u8"图片框1", left_pressed,
       [&](ShellTest& t) { press(child(t.shell_->main_window(), u8"图片框1"), {60, 15}); },
       {"drag_main_window"}},
      {main, u8"解析1", clicked,
       [&](ShellTest& t) { click(child(t.shell_->main_window(), u8"解析1")); }, {"end_program"}},
      {main, u8"解析", clicked,
       [&](ShellTest& t) { click(child(t.shell_->main_window(), u8"解析")); },
       {"start_album_search"}},
      {main, u8"超级列表框1", double_clicked, [](ShellTest& t) {
         auto* list = t.shell_->main_window()->findChild<ListView*>(QStringLiteral("超级列表框1"));
         QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, {50, 50});
       }, {"open_album"}},
      {track, u8"", created, [](ShellTest& t) { t.open_track_with_rows(2); },
       {"track_window_created"}},
      {track, u8"超级列表框1", check_changed, [](ShellTest& t) { t.click_check_box(1); },
       {"on_check_changed(1,1)"}},
      {track, u8"超级列表框1", right_clicked, [](ShellTest& t) {
         QTest::mouseClick(t.track_list()->viewport(), Qt::RightButton, {},
                           t.track_list()->visualRect(t.track_list()->model()->index(0, 1)).center());
       }, {"on_list_right_click"}},
      {track, u8"全部选中", chosen,
       [](ShellTest& t) { choose_menu_item(t.shell_->track_window(), u8"全部选中"); },
       {"check_all"}},
      {track, u8"取消选中", chosen,
       [](ShellTest& t) { choose_menu_item(t.shell_->track_window(), u8"取消选中"); },
       {"uncheck_all"}},
      {track, u8"按钮1", clicked,
       [&](ShellTest& t) { click(child(t.shell_->track_window(), u8"按钮1")); },
       {"choose_download_folder"}},
      {track, u8"按钮_开始下载", clicked,
       [&](ShellTest& t) { click(child(t.shell_->track_window(), u8"按钮_开始下载")); },
       {"start_download"}},
      {track, u8"按钮_停止下载", clicked, [&](ShellTest& t) {
         QWidget* stop = child(t.shell_->track_window(), u8"按钮_停止下载");
         stop->setEnabled(true);
         click(stop);
       }, {"stop_download"}},
      // Presses on the title bar's own controls do not drag.
      {main, u8"透明标签1", left_pressed,
       [&](ShellTest& t) { press(child(t.shell_->main_window(), u8"透明标签1"), {5, 5}); }, {}},
  };
  for (const Binding& b : event_table()) {
    const bool covered = std::any_of(actions.begin(), actions.end(), [&](const UserAction& a) {
      return a.window == b.window && a.control == b.control && a.event == b.event;
    });
    EXPECT_TRUE(covered) << qstring_of_name(b.control).toStdString();
  }
  record_all_handlers();
  for (const UserAction& a : actions) {
    if (a.window == WindowId::track && a.event != EventKind::created && !track_window()) {
      open_track_with_rows(2);
    }
    calls_.clear();
    a.act(*this);
    pump_until([&] { return calls_.size() >= a.expected.size(); }, 5000);
    QCoreApplication::processEvents();  // anything queued behind it
    EXPECT_EQ(calls_, a.expected) << qstring_of_name(a.control).toStdString();
  }
}

TEST_F(EventTableTest, OpenAlbumOpensTheTrackWindowOnceAndStartsAListingWorker) {
  std::atomic<int> workers{0};
  shell_->set_worker_routines({.album_search = {}, .album_listing = [&] { ++workers; }});
  auto* list = main_window()->findChild<ListView*>(QStringLiteral("超级列表框1"));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, {50, 50});
  QWidget* first = track_window();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, {50, 50});
  EXPECT_EQ(track_window(), first);  // left as it is
  EXPECT_TRUE(pump_until([&] { return workers == 2; }));
}

TEST_F(EventTableTest, LoopRunsUntilTheLastWindowHasClosed) {
  shell_->open_track_window();
  bool ran_after_main_closed = false, timed_out = false;
  QTimer::singleShot(0, [&] {
    main_window()->close();  // what Alt+F4 does
    QTimer::singleShot(20, [&] {
      ran_after_main_closed = true;
      track_window()->close();
    });
  });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    timed_out = true;
    QApplication::quit();
  });
  guard.start(10000);
  QApplication::exec();
  EXPECT_TRUE(ran_after_main_closed);
  EXPECT_FALSE(timed_out);
}

// In a child process: the close button ends everything at once with code 0
// and the exit routines run, while a worker keeps writing to the windows.
void click_close_with_worker_running() {
  qt_app();
  ExitRoutines exits;
  exits.add([] { std::fputs("exit routines ran\n", stderr); });
  Shell shell(exits);
  shell.show_main_window();
  shell.open_track_window();
  std::atomic<int> writes{0};
  std::thread([&] {
    for (;;) {
      shell.controls().set_part_text(WindowId::track, u8"状态条1", 1, std::to_string(writes));
      ++writes;
    }
  }).detach();
  pump_until([&] { return writes > 10; });
  QTest::mouseClick(shell.main_window()->findChild<QWidget*>(QStringLiteral("解析1")),
                    Qt::LeftButton);
  std::fputs("still running\n", stderr);
  std::abort();
}

TEST(EndProgram, CloseButtonExitsWithZeroWhileAWorkerRuns) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(click_close_with_worker_running(), ::testing::ExitedWithCode(0),
              "exit routines ran");
}

}  // namespace
}  // namespace lumora::test
