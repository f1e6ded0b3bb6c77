#include "lumora/ui/qt_controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "lumora/test_support/qt_app.h"
#include "lumora/text/code_page.h"
#include "lumora/ui/list_view.h"
#include "lumora/ui/parts_bar.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

constexpr WindowId kWin = WindowId::track;
constexpr ControlName kList = u8"超级列表框1";

template <class W>
W* named(W* w, ControlName name) {
  w->setObjectName(qstring_of_name(name));
  return w;
}

// A window holding one control of every kind the access layer knows.
QWidget* make_window() {
  auto* window = new QWidget;
  named(new QLineEdit(QStringLiteral("C:"), window), u8"编辑框1");
  named(new QPushButton(QStringLiteral("按钮"), window), u8"按钮1");
  named(new ListView({{QStringLiteral("#"), 20}, {QStringLiteral("标题"), 100}}, true, window),
        kList);
  named(new PartsBar({{38, true, QStringLiteral("状态：")}, {100, false, {}}, {-1, false, {}}},
                     window),
        u8"状态条1");
  auto* menu = named(new QMenu(window), u8"右键菜单");
  named(menu->addAction(QStringLiteral("全部选中")), u8"全部选中");
  return window;
}

bool pump_until(const std::atomic<bool>& done) {
  return test::pump_until([&] { return done.load(); });
}

class QtControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::qt_app();
    window_ = make_window();
    controls_.attach(kWin, window_);
  }
  void TearDown() override { delete window_.data(); }

  QtControls controls_;
  QPointer<QWidget> window_;
};

TEST_F(QtControlsTest, TextsCrossTheWidgetBoundaryAsGbk) {
  const Text zh = gbk(u8"心理罪");
  const struct { ControlName control; Text before; } cases[] = {
      {u8"编辑框1", "C:"}, {u8"按钮1", gbk(u8"按钮")}, {u8"全部选中", gbk(u8"全部选中")}};
  for (const auto& c : cases) {
    EXPECT_EQ(controls_.text(kWin, c.control), c.before);
    controls_.set_text(kWin, c.control, zh);
    EXPECT_EQ(controls_.text(kWin, c.control), zh);
  }
  EXPECT_EQ(window_->findChild<QLineEdit*>()->text(), QStringLiteral("心理罪"));
  // A character GBK lacks reads back as "?".
  window_->findChild<QLineEdit*>()->setText(QStringLiteral("a\U0001F600b"));
  EXPECT_EQ(controls_.text(kWin, u8"编辑框1"), "a?b");
}

TEST_F(QtControlsTest, RowsColumnsAndPartsOutsideTheControlAreIgnored) {
  EXPECT_EQ(controls_.current_row(kWin, kList), -1);
  EXPECT_EQ(controls_.append_row(kWin, kList), 0);
  EXPECT_EQ(controls_.append_row(kWin, kList), 1);
  controls_.set_checked(kWin, kList, 1, true);
  EXPECT_TRUE(controls_.is_checked(kWin, kList, 1));
  auto* list = window_->findChild<ListView*>();
  list->setCurrentItem(list->topLevelItem(1));
  EXPECT_EQ(controls_.current_row(kWin, kList), 1);
  for (auto [row, column] : {std::pair{2, 0}, {-1, 0}, {0, 2}, {0, -1}}) {
    controls_.set_cell(kWin, kList, row, column, "x");
    controls_.set_checked(kWin, kList, row, true);
    EXPECT_EQ(controls_.cell(kWin, kList, row, column), "");
  }
  EXPECT_EQ(controls_.row_count(kWin, kList), 2);
  controls_.set_part_text(kWin, u8"状态条1", 3, "x");
  EXPECT_EQ(controls_.part_text(kWin, u8"状态条1", 3), "");
  // Parts show plain text, never markup.
  EXPECT_EQ(window_->findChild<PartsBar*>()->part_label(2)->textFormat(), Qt::PlainText);
}

TEST_F(QtControlsTest, MissingWindowOrControlGivesTheEmptyValue) {
  for (WindowId window : {WindowId::main, WindowId::track}) {
    for (ControlName control : {ControlName(u8"没有"), ControlName(u8"编辑框1")}) {
      if (window == kWin && control == ControlName(u8"编辑框1")) continue;
      EXPECT_EQ(controls_.text(window, control), "");
      EXPECT_FALSE(controls_.is_enabled(window, control));
      controls_.set_text(window, control, "x");
      controls_.popup_menu(window, control);
    }
    // The main window is not attached; on the track window "没有" is no list.
    const ControlName list = window == kWin ? ControlName(u8"没有") : kList;
    EXPECT_EQ(controls_.append_row(window, list), -1);
    controls_.append_row_in_view(window, list, {"x"});
    EXPECT_EQ(controls_.current_row(window, list), -1);
    EXPECT_EQ(controls_.row_count(window, list), 0);
    EXPECT_EQ(controls_.cell(window, list, 0, 0), "");
    EXPECT_FALSE(controls_.is_checked(window, list, 0));
    EXPECT_EQ(controls_.part_text(window, list, 0), "");
  }
  // A list is not a status bar and an edit box is not a list.
  EXPECT_EQ(controls_.part_text(kWin, kList, 0), "");
  EXPECT_EQ(controls_.append_row(kWin, u8"编辑框1"), -1);
}

TEST_F(QtControlsTest, WorkerCallsRunOnTheUiThreadInOrder) {
  constexpr int kRows = 300;
  std::atomic<bool> done{false};
  std::atomic<int> mismatches{0};
  std::thread worker([&] {
    for (int i = 0; i < kRows; ++i) {
      const int row = controls_.append_row(kWin, kList);
      controls_.set_cell(kWin, kList, row, 1, std::to_string(i));
      if (row != i || controls_.cell(kWin, kList, row, 1) != std::to_string(i)) ++mismatches;
    }
    done = true;
  });
  const bool finished = pump_until(done);
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(controls_.row_count(kWin, kList), kRows);
  EXPECT_EQ(controls_.cell(kWin, kList, kRows - 1, 1), std::to_string(kRows - 1));
}

// Writes from a worker are queued: it goes on while the UI thread is busy
// elsewhere, and they land in order, before the same worker's next read.
TEST_F(QtControlsTest, WorkerWritesDoNotWaitForTheUiThread) {
  std::mutex mutex;
  std::condition_variable queued_cv;
  bool queued = false;
  std::atomic<bool> done{false};
  Text read_back;
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) {
      controls_.append_row_in_view(kWin, kList, {Text(), std::to_string(i), "past the last column"});
    }
    controls_.set_cell(kWin, kList, 49, 1, "last");
    controls_.set_part_text(kWin, u8"状态条1", 1, "queued");
    {
      std::lock_guard lock(mutex);
      queued = true;
    }
    queued_cv.notify_one();
    read_back = controls_.cell(kWin, kList, 49, 1);
    done = true;
  });
  {
    // No events are served while this thread waits here.
    std::unique_lock lock(mutex);
    EXPECT_TRUE(queued_cv.wait_for(lock, std::chrono::seconds(10), [&] { return queued; }));
  }
  EXPECT_EQ(controls_.row_count(kWin, kList), 0);
  const bool finished = pump_until(done);
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(read_back, "last");
  EXPECT_EQ(controls_.row_count(kWin, kList), 50);
  EXPECT_EQ(controls_.cell(kWin, kList, 10, 1), "10");
  EXPECT_EQ(controls_.part_text(kWin, u8"状态条1", 1), "queued");
}

// Controls that go with writes still queued drop them, touching nothing.
TEST_F(QtControlsTest, WritesQueuedWhenTheControlsGoAreDropped) {
  auto controls = std::make_unique<QtControls>();
  controls->attach(kWin, window_);
  std::thread([&] {
    for (int i = 0; i < 20; ++i) controls->append_row_in_view(kWin, kList, {Text(), "x"});
  }).join();
  controls.reset();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(controls_.row_count(kWin, kList), 0);
}

TEST_F(QtControlsTest, WaitPumpingKeepsServingWorkersOnTheUiThread) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    controls_.set_part_text(kWin, u8"状态条1", 1, "from worker");
    controls_.flush();
    done = true;
  });
  // The worker's flush can only return inside this nested loop.
  while (!done) controls_.wait_pumping(5);
  worker.join();
  EXPECT_EQ(controls_.part_text(kWin, u8"状态条1", 1), "from worker");
}

}  // namespace
}  // namespace lumora
