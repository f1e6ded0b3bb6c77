#include "lumora/ui/list_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "lumora/test_support/qt_app.h"
#include "lumora/ui/qt_controls.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

constexpr WindowId kWin = WindowId::track;
constexpr ControlName kList = u8"超级列表框1";

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class ListViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::qt_app();
    window_ = new QWidget;
    window_->resize(400, 300);
    list_ = new ListView({{QStringLiteral("#"), 30}, {QStringLiteral("标题"), 200}}, true, window_);
    list_->setObjectName(qstring_of_name(kList));
    list_->setGeometry(0, 0, 400, 300);
    controls_.attach(kWin, window_);
    window_->show();
    list_->viewport()->installEventFilter(&counter_);
    // Settled: shown and painted, nothing held.
    ASSERT_TRUE(test::pump_until([&] { return counter_.paints > 0 && list_->updatesEnabled(); }));
    test::pump_until([] { return false; }, 3 * list_->frame_ms());
    counter_.paints = 0;
  }
  void TearDown() override { delete window_.data(); }

  bool row_in_view(int row) const {
    const QRect rect = list_->visualItemRect(list_->topLevelItem(row));
    return !rect.isEmpty() && list_->viewport()->rect().contains(rect);
  }

  QtControls controls_;
  QPointer<QWidget> window_;
  ListView* list_ = nullptr;
  PaintCounter counter_;
};

// Writes land in the model at once; the screen catches up at the frame's end,
// scrolled to the row asked for last.
TEST_F(ListViewTest, WritesAreReadableAtOnceAndShownAtTheFrameEnd) {
  for (int i = 0; i < 100; ++i) {
    const int row = list_->append_row();
    list_->set_cell(row, 1, QString::number(i));
    list_->scroll_to_row(row);
  }
  list_->set_checked(42, true);
  EXPECT_EQ(list_->topLevelItemCount(), 100);
  EXPECT_EQ(list_->cell(99, 1), QStringLiteral("99"));
  EXPECT_TRUE(list_->checked(42));
  EXPECT_FALSE(row_in_view(99));

  ASSERT_TRUE(test::pump_until([&] { return counter_.paints > 0; }));
  EXPECT_TRUE(list_->updatesEnabled());
  EXPECT_TRUE(row_in_view(99));
  EXPECT_FALSE(row_in_view(0));

  // An earlier row asked for after a later one: the last request wins.
  list_->scroll_to_row(99);
  list_->scroll_to_row(0);
  list_->scroll_to_row(-1);   // out of range: ignored
  list_->scroll_to_row(100);  // likewise
  ASSERT_TRUE(test::pump_until([&] { return list_->updatesEnabled(); }));
  EXPECT_TRUE(row_in_view(0));
}

// A worker adding rows one at a time with a short pause, as the listing does:
// the list repaints at most once a display frame, not once a row.
TEST_F(ListViewTest, RowsFromAWorkerRepaintAtMostOncePerFrame) {
  constexpr int kRows = 120;
  std::atomic<bool> done{false};
  QElapsedTimer clock;
  clock.start();
  std::thread worker([&] {
    for (int i = 0; i < kRows; ++i) {
      controls_.append_row_in_view(kWin, kList, {Text(), std::to_string(i)});
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    controls_.flush();
    done = true;
  });
  const bool finished = test::pump_until([&] { return done.load(); }, 60000);
  worker.join();
  ASSERT_TRUE(finished);
  ASSERT_TRUE(test::pump_until([&] { return list_->updatesEnabled(); }));
  const qint64 elapsed = clock.elapsed();
  // Every held frame lasts a whole frame and ends in one paint.
  EXPECT_LE(counter_.paints, elapsed / list_->frame_ms() + 2) << elapsed << " ms";
  EXPECT_GT(counter_.paints, 0);
  EXPECT_EQ(controls_.row_count(kWin, kList), kRows);
  EXPECT_EQ(controls_.cell(kWin, kList, kRows - 1, 1), std::to_string(kRows - 1));
  EXPECT_TRUE(row_in_view(kRows - 1));
}

// The list may go while a frame is held, with its window.
TEST_F(ListViewTest, ClosingWithAFrameHeldIsSafe) {
  list_->append_row();
  EXPECT_FALSE(list_->updatesEnabled());
  delete window_.data();
  test::pump_until([] { return false; }, 2 * 16);
  EXPECT_EQ(controls_.row_count(kWin, kList), 0);
}

}  // namespace
}  // namespace lumora
