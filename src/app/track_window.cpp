#include "lumora/app/track_window.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "lumora/controls/control_names.h"
#include "lumora/ui/list_view.h"
#include "lumora/ui/parts_bar.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

template <class W>
W* named(W* widget, ControlName name) {
  widget->setObjectName(qstring_of_name(name));
  return widget;
}

void build_track_list(QWidget* window, const EventRouter& router) {
  const std::vector<ListColumn> columns = {
      {QStringLiteral("#"), 45, Qt::AlignLeft},
      {QStringLiteral("标题"), 300, Qt::AlignLeft},
      {QStringLiteral("链接"), 0, Qt::AlignHCenter},
      {QStringLiteral("状态"), 100, Qt::AlignHCenter},
  };
  auto* list = named(new ListView(columns, true, window), kList);
  list->setGeometry(0, 8, 456, 496);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAccessibleName(QStringLiteral("音频列表"));
  QObject::connect(list, &ListView::userToggled, [&router](int row, int state) {
    router.raise(WindowId::track, kList, EventKind::check_changed, {row, state});
  });
  QObject::connect(list, &ListView::rightClicked, [&router] {
    router.raise(WindowId::track, kList, EventKind::right_clicked);
  });
}

void build_menu(QWidget* window, const EventRouter& router) {
  auto* menu = named(new QMenu(window), kMenu);
  for (ControlName item : {kCheckAllItem, kUncheckAllItem}) {
    QAction* action = named(menu->addAction(qstring_of_name(item)), item);
    // Queued: the command runs after the handler that popped the menu up.
    QObject::connect(action, &QAction::triggered, window, [&router, item] {
      router.raise(WindowId::track, item, EventKind::chosen);
    }, Qt::QueuedConnection);
  }
}

void build_folder_row(QWidget* window, const EventRouter& router, const Text& folder) {
  auto* box = named(new QLineEdit(qstring_of_gbk(folder), window), kFolderBox);
  box->setGeometry(0, 504, 216, 32);
  box->setAccessibleName(QStringLiteral("下载目录"));
  struct ButtonInfo { ControlName name; QString caption; int left; };
  const ButtonInfo buttons[] = {{kFolderButton, QStringLiteral("设置下载目录"), 216},
                          {kStartButton, QStringLiteral("下载选中"), 296},
                          {kStopButton, QStringLiteral("停止下载"), 376}};
  for (const ButtonInfo& b : buttons) {
    auto* button = named(new QPushButton(b.caption, window), b.name);
    button->setGeometry(b.left, 504, 80, 32);
    QObject::connect(button, &QPushButton::clicked, [&router, name = b.name] {
      router.raise(WindowId::track, name, EventKind::clicked);
    });
  }
  window->findChild<QPushButton*>(qstring_of_name(kStopButton))->setEnabled(false);
}

void build_status_bar(QWidget* window) {
  const std::vector<BarPart> parts = {
      {38, true, QStringLiteral("状态：")},
      {100, false, QStringLiteral("【Lumora团队】")},
      {100, false, QStringLiteral("待下载：0")},
      {100, false, QStringLiteral("已下载：0")},
      {-1, false, QStringLiteral("版本：1.0")},
  };
  auto* bar = named(new PartsBar(parts, window), kStatusBar);
  bar->setAccessibleName(QStringLiteral("状态栏"));
  bar->setGeometry(0, kTrackClientHeight - 20, kTrackClientWidth, 20);
}

}  // namespace

QWidget* build_track_window(const EventRouter& router, const Text& folder) {
  auto* window = new QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Lumora下载器"));
  window->setFixedSize(kTrackClientWidth, kTrackClientHeight);
  build_track_list(window, router);
  build_folder_row(window, router, folder);
  build_status_bar(window);
  build_menu(window, router);
  return window;
}

}  // namespace lumora
