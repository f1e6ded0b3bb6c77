#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <vector>

#include "lumora/app/program_paths.h"
#include "lumora/text/code_page.h"
#include "lumora/ui/parts_bar.h"
#include "lumora/ui/qt_text.h"
#include "shell_fixture.h"

namespace lumora::test {
namespace {

struct Placement {
  const char8_t* name;
  const char8_t* parent;  // u8"" for the window itself
  QRect geometry;
};

void expect_placements(QWidget* window, std::initializer_list<Placement> table) {
  for (const Placement& p : table) {
    const QString name = qstring_of_name(p.name);
    auto* w = window->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name.toStdString();
    EXPECT_EQ(w->geometry(), p.geometry) << name.toStdString();
    const QString parent = qstring_of_name(p.parent);
    EXPECT_EQ(w->parentWidget() == window ? QString() : w->parentWidget()->objectName(), parent)
        << name.toStdString();
  }
}

const char8_t* const kStripPictures[] = {u8"图片框8",  u8"图片框9",  u8"图片框10", u8"图片框11",
                                         u8"图片框13", u8"图片框14", u8"图片框15", u8"图片框16",
                                         u8"图片框17", u8"图片框18", u8"图片框19", u8"图片框20",
                                         u8"图片框21"};

using LayoutTest = ShellTest;

TEST_F(LayoutTest, MainWindowPlacesEveryControl) {
  QWidget* w = main_window();
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w->frameGeometry().size(), QSize(604, 653));
  EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::white));
  expect_placements(w, {
      {u8"图片框1", u8"", {0, 0, 632, 30}},       {u8"透明标签1", u8"图片框1", {174, 3, 274, 24}},
      {u8"解析1", u8"图片框1", {574, 1, 30, 30}},   {u8"图片框2", u8"", {0, 30, 5, 629}},
      {u8"图片框3", u8"", {599, 24, 5, 629}},     {u8"图片框4", u8"", {5, 648, 623, 5}},
      {u8"编辑框1", u8"", {128, 43, 240, 30}},    {u8"图片框6", u8"", {135, 44, 28, 28}},
      {u8"解析", u8"", {368, 43, 100, 30}},       {u8"图片框5", u8"", {5, 80, 605, 520}},
      {u8"超级列表框1", u8"图片框5", {-4, -2, 624, 521}},
      {u8"图片框12", u8"", {5, 600, 240, 48}},    {u8"图片框8", u8"图片框12", {0, -1, 48, 48}},
      {u8"图片框9", u8"图片框12", {48, -1, 48, 48}}, {u8"图片框10", u8"图片框12", {96, -1, 48, 48}},
      {u8"图片框11", u8"图片框12", {144, -1, 48, 48}}, {u8"图片框13", u8"图片框12", {192, -1, 48, 48}},
      {u8"图片框19", u8"", {245, 600, 48, 48}},   {u8"图片框21", u8"", {293, 600, 48, 48}},
      {u8"图片框20", u8"", {324, 600, 48, 48}},   {u8"图片框7", u8"", {359, 600, 240, 48}},
      {u8"图片框18", u8"图片框7", {0, -1, 48, 48}},  {u8"图片框17", u8"图片框7", {48, -1, 48, 48}},
      {u8"图片框16", u8"图片框7", {96, -1, 48, 48}}, {u8"图片框15", u8"图片框7", {144, -1, 48, 48}},
      {u8"图片框14", u8"图片框7", {192, -1, 48, 48}},
  });
}

TEST_F(LayoutTest, MainWindowInitialStates) {
  QWidget* w = main_window();
  auto* title = w->findChild<QLabel*>(QStringLiteral("透明标签1"));
  EXPECT_TRUE(title->text().startsWith(QStringLiteral("LumoraFM 电脑端音频下载器   by：")));
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
  auto* keyword = w->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
  EXPECT_EQ(controls().text(WindowId::main, u8"编辑框1"), gbk(u8"心理罪"));
  EXPECT_EQ(keyword->font().family(), QStringLiteral("微软雅黑"));
  EXPECT_EQ(keyword->font().pixelSize(), 14);
  EXPECT_EQ(keyword->font().weight(), QFont::Normal);
  // The requested family is rendered by its stand-in.
  EXPECT_EQ(QFontInfo(keyword->font()).family(), QStringLiteral("WenQuanYi Micro Hei"));
  auto* bar = w->findChild<QLabel*>(QStringLiteral("图片框1"));
  EXPECT_EQ(bar->pixmap().size(), QSize(900, 30));
}

TEST_F(LayoutTest, AlbumListIsStyledWhenTheWindowIsCreated) {
  auto* list = main_window()->findChild<ListView*>(QStringLiteral("超级列表框1"));
  const int widths[] = {300, 0, 100, 200};
  const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter};
  const QString headers[] = {QStringLiteral("标题"), QStringLiteral("网址"), QStringLiteral("分类"),
                             QStringLiteral("演讲")};
  ASSERT_EQ(list->columnCount(), 4);
  const int row = controls().append_row(WindowId::main, u8"超级列表框1");
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
    EXPECT_EQ(list->headerItem()->text(c), headers[c]);
    EXPECT_EQ(Qt::Alignment(list->topLevelItem(row)->textAlignment(c)) & Qt::AlignHorizontal_Mask,
              aligns[c]);
  }
  EXPECT_EQ(list->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(list->palette().color(QPalette::Text), QColor(0x606060));
  EXPECT_EQ(list->font().family(), QStringLiteral("微软雅黑"));
  EXPECT_EQ(list->font().pointSize(), 9);
  EXPECT_TRUE(list->header()->isHidden());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->topLevelItem(row)->data(0, Qt::CheckStateRole), QVariant());
}

// Ink of row 0's text in the picture that clips the Album list: for each
// pixel column from the picture's left edge, whether the row's band holds any
// pixel darker than the white ground.
std::vector<bool> album_row_ink(QWidget* main_window) {
  auto* box = main_window->findChild<QWidget*>(QStringLiteral("图片框5"));
  auto* list = main_window->findChild<ListView*>(QStringLiteral("超级列表框1"));
  const QRect row = list->visualRect(list->model()->index(0, 0));
  const QPoint top_left = list->viewport()->mapTo(box, row.topLeft());
  const QImage shot = box->grab().toImage();
  std::vector<bool> ink(40, false);
  for (int x = 0; x < static_cast<int>(ink.size()); ++x) {
    for (int y = std::max(0, top_left.y()); y < top_left.y() + row.height(); ++y) {
      if (qGray(shot.pixel(x, y)) < 200) ink[static_cast<std::size_t>(x)] = true;
    }
  }
  return ink;
}

TEST_F(LayoutTest, AlbumTitlesShowTheirFirstCharacterWhole) {
  // "田" has ink from its left edge to its right: a cut glyph leaves ink on
  // the picture's first column.
  const int row = controls().append_row(WindowId::main, u8"超级列表框1");
  controls().set_cell(WindowId::main, u8"超级列表框1", row, 0, gbk(u8"田田"));
  // The list paints what code wrote at the end of the display frame.
  std::vector<bool> ink;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ink = album_row_ink(main_window());
  } while (std::find(ink.begin(), ink.end(), true) == ink.end() &&
           std::chrono::steady_clock::now() < deadline);
  EXPECT_FALSE(ink[0]) << "the first character touches the clipped edge";
  EXPECT_FALSE(ink[1]);
  EXPECT_NE(std::find(ink.begin(), ink.end(), true), ink.end()) << "no text drawn";
}

TEST_F(LayoutTest, TrackWindowPlacesEveryControlAndStartsClean) {
  shell_->open_track_window();
  QWidget* w = track_window();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Lumora下载器"));
  EXPECT_EQ(w->minimumSize(), w->maximumSize());  // fixed frame
  expect_placements(w, {
      {u8"超级列表框1", u8"", {0, 8, 456, 496}},      {u8"编辑框_下载目录", u8"", {0, 504, 216, 32}},
      {u8"按钮1", u8"", {216, 504, 80, 32}},          {u8"按钮_开始下载", u8"", {296, 504, 80, 32}},
      {u8"按钮_停止下载", u8"", {376, 504, 80, 32}},
      {u8"状态条1", u8"", {0, w->height() - 20, w->width(), 20}},
  });
  EXPECT_EQ(controls().text(WindowId::track, u8"编辑框_下载目录"), home_folder());
  EXPECT_EQ(controls().text(WindowId::track, u8"按钮1"), gbk(u8"设置下载目录"));
  EXPECT_EQ(controls().text(WindowId::track, u8"按钮_开始下载"), gbk(u8"下载选中"));
  EXPECT_EQ(controls().text(WindowId::track, u8"按钮_停止下载"), gbk(u8"停止下载"));
  EXPECT_TRUE(controls().is_enabled(WindowId::track, u8"按钮_开始下载"));
  EXPECT_FALSE(controls().is_enabled(WindowId::track, u8"按钮_停止下载"));
  EXPECT_TRUE(controls().is_enabled(WindowId::track, u8"全部选中"));
  EXPECT_TRUE(controls().is_enabled(WindowId::track, u8"取消选中"));
  EXPECT_EQ(w->findChild<QMenu*>(QStringLiteral("右键菜单"))->actions().size(), 2);

  ListView* list = track_list();
  EXPECT_FALSE(list->header()->isHidden());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  const int widths[] = {45, 300, 0, 100};
  const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter};
  const int row = controls().append_row(WindowId::track, u8"超级列表框1");
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
    EXPECT_EQ(Qt::Alignment(list->topLevelItem(row)->textAlignment(c)) & Qt::AlignHorizontal_Mask,
              aligns[c]);
  }
  EXPECT_EQ(list->topLevelItem(row)->checkState(0), Qt::Unchecked);

  auto* bar = w->findChild<PartsBar*>(QStringLiteral("状态条1"));
  const struct { int width; QFrame::Shadow shadow; const char8_t* text; } parts[] = {
      {38, QFrame::Raised, u8"状态："}, {100, QFrame::Sunken, u8"【Lumora团队】"},
      {100, QFrame::Sunken, u8"待下载：0"}, {100, QFrame::Sunken, u8"已下载：0"},
      {-1, QFrame::Sunken, u8"版本：1.0"}};
  ASSERT_EQ(bar->part_count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(controls().part_text(WindowId::track, u8"状态条1", i), gbk(parts[i].text));
    EXPECT_EQ(bar->part_label(i)->frameShadow(), parts[i].shadow);
    if (parts[i].width > 0) {
      EXPECT_EQ(bar->part_label(i)->width(), parts[i].width) << i;
    }
  }
  // The last part reaches the right edge.
  EXPECT_EQ(bar->part_label(4)->geometry().right(), bar->width() - 1);
}

TEST_F(LayoutTest, ThirteenStripPicturesShareOneRunningAnimation) {
  QMovie* movie = nullptr;
  for (const char8_t* name : kStripPictures) {
    auto* picture = main_window()->findChild<QLabel*>(qstring_of_name(name));
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->movie(), nullptr);
    if (movie) {
      EXPECT_EQ(picture->movie(), movie);
    }
    movie = picture->movie();
  }
  EXPECT_EQ(movie->frameCount(), 12);
  EXPECT_EQ(movie->currentImage().size(), QSize(48, 48));
  const int first = movie->currentFrameNumber();
  EXPECT_TRUE(pump_until([&] { return movie->currentFrameNumber() != first; }, 5000));
}

}  // namespace
}  // namespace lumora::test
