#include "lumora/app/main_window.h"

#include <QLineEdit>
#include <QMovie>
#include <iterator>
#include <span>

#include "lumora/controls/control_names.h"
#include "lumora/app/artwork.h"
#include "lumora/app/fonts.h"
#include "lumora/ui/list_view.h"
#include "lumora/ui/picture.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

const QString kTitle = QStringLiteral("LumoraFM 电脑端音频下载器   by：Lumora团队");

template <class W>
W* named(W* widget, ControlName name, QRect geometry) {
  widget->setObjectName(qstring_of_name(name));
  widget->setGeometry(geometry);
  return widget;
}

Picture* still(QWidget* parent, ControlName name, QRect geometry, const QString& art) {
  auto* p = named(new Picture(parent), name, geometry);
  p->setPixmap(art_picture(art));
  p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return p;
}

void build_title_bar(QWidget* window, const EventRouter& router) {
  Picture* bar = still(window, kTitlePicture, {0, 0, 632, 30}, QStringLiteral("title.png"));
  QObject::connect(bar, &Picture::leftPressed, [&router] {
    router.raise(WindowId::main, kTitlePicture, EventKind::left_pressed);
  });
  auto* title = named(new QLabel(kTitle, bar), kTitleLabel, {174, 3, 274, 24});
  title->setTextFormat(Qt::PlainText);
  title->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  auto* close = named(new PictureButton(art_picture(QStringLiteral("close.png")),
                                        art_picture(QStringLiteral("close_hover.png")), {}, bar),
                      kCloseButton, {574, 1, 30, 30});
  close->setAccessibleName(QStringLiteral("关闭"));
  QObject::connect(close, &QAbstractButton::clicked, [&router] {
    router.raise(WindowId::main, kCloseButton, EventKind::clicked);
  });
  still(window, kLeftFramePicture, {0, 30, 5, 629}, QStringLiteral("frame_v.png"));
  still(window, kRightFramePicture, {599, 24, 5, 629}, QStringLiteral("frame_v.png"));
  still(window, kBottomFramePicture, {5, 648, 623, 5}, QStringLiteral("frame_h.png"));
}

void build_search_row(QWidget* window, const EventRouter& router) {
  auto* keyword = named(new QLineEdit(QStringLiteral("心理罪"), window), kKeywordBox,
                        {128, 43, 240, 30});
  QFont font(kLayoutFontFamily);
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  keyword->setFont(font);
  keyword->setAccessibleName(QStringLiteral("关键词"));
  // The magnifier lies over the box's left end; the text starts after it.
  keyword->setTextMargins(34, 0, 0, 0);
  auto* icon = still(window, kMagnifierPicture, {135, 44, 28, 28}, QStringLiteral("magnifier.png"));
  icon->setScaledContents(true);
  auto* search = named(new PictureButton(art_picture(QStringLiteral("search.png")),
                                         art_picture(QStringLiteral("search_hover.png")),
                                         art_picture(QStringLiteral("search_pressed.png")), window),
                       kSearchButton, {368, 43, 100, 30});
  // The word its pictures show.
  search->setAccessibleName(QStringLiteral("搜索"));
  QObject::connect(search, &QAbstractButton::clicked, [&router] {
    router.raise(WindowId::main, kSearchButton, EventKind::clicked);
  });
}

void build_album_list(QWidget* window, const EventRouter& router) {
  auto* holder = named(new QWidget(window), kAlbumListHolder, {5, 80, 605, 520});
  const std::vector<ListColumn> columns = {
      {QStringLiteral("标题"), 300, Qt::AlignLeft},
      {QStringLiteral("网址"), 0, Qt::AlignLeft},
      {QStringLiteral("分类"), 100, Qt::AlignHCenter},
      {QStringLiteral("演讲"), 200, Qt::AlignHCenter},
  };
  auto* list = named(new ListView(columns, false, holder), kList, {-4, -2, 624, 521});
  list->setAccessibleName(QStringLiteral("专辑列表"));
  // As created: cell selection; the styling routine switches to full rows.
  list->setSelectionBehavior(QAbstractItemView::SelectItems);
  QObject::connect(list, &ListView::listDoubleClicked, [&router] {
    router.raise(WindowId::main, kList, EventKind::double_clicked);
  });
}

void build_strip(QWidget* window) {
  QMovie* movie = strip_movie(window);
  auto frame = [movie](QWidget* parent, ControlName name, QRect geometry) {
    named(new Picture(parent), name, geometry)->setMovie(movie);
  };
  auto row = [&](ControlName holder_name, int left, std::span<const ControlName> names) {
    auto* holder = named(new QWidget(window), holder_name, {left, 600, 240, 48});
    int x = 0;
    for (ControlName name : names) {
      frame(holder, name, {x, -1, 48, 48});
      x += 48;
    }
  };
  row(kLeftStripHolder, 5, kLeftStripFrames);
  const int middle_lefts[] = {245, 293, 324};
  for (std::size_t i = 0; i < std::size(kMiddleStripFrames); ++i)
    frame(window, kMiddleStripFrames[i], {middle_lefts[i], 600, 48, 48});
  row(kRightStripHolder, 359, kRightStripFrames);
}

}  // namespace

QWidget* build_main_window(const EventRouter& router) {
  auto* window = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("LumoraFM 电脑端音频下载器"));
  window->setFixedSize(kMainWidth, kMainHeight);
  window->setAutoFillBackground(true);
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, Qt::white);
  window->setPalette(palette);
  build_title_bar(window, router);
  build_search_row(window, router);
  build_album_list(window, router);
  build_strip(window);
  return window;
}

}  // namespace lumora
