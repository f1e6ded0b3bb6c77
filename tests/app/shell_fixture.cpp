#include "shell_fixture.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

#include "lumora/app/fonts.h"

namespace lumora::test {

void ShellTest::SetUp() {
  static const bool fonts = [] {
    qt_app();
    prepare_fonts();
    return true;
  }();
  (void)fonts;
  shell_ = std::make_unique<Shell>(exits_);
  shell_->show_main_window();
}

void ShellTest::TearDown() {
  shell_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

ListView* ShellTest::track_list() {
  return track_window() ? track_window()->findChild<ListView*>(QStringLiteral("超级列表框1"))
                        : nullptr;
}

void ShellTest::open_track_with_rows(int rows) {
  shell_->open_track_window();
  for (int i = 0; i < rows; ++i) {
    const int row = controls().append_row(WindowId::track, u8"超级列表框1");
    controls().set_cell(WindowId::track, u8"超级列表框1", row, 1, std::to_string(i));
  }
}

void ShellTest::close_track_window() {
  track_window()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ShellTest::record_all_handlers() {
  Handlers& h = shell_->handlers();
  const std::pair<Handler Handlers::*, const char*> named_slots[] = {
      {&Handlers::style_album_list, "style_album_list"},
      {&Handlers::drag_main_window, "drag_main_window"},
      {&Handlers::end_program, "end_program"},
      {&Handlers::start_album_search, "start_album_search"},
      {&Handlers::open_album, "open_album"},
      {&Handlers::track_window_created, "track_window_created"},
      {&Handlers::on_check_changed, "on_check_changed"},
      {&Handlers::on_list_right_click, "on_list_right_click"},
      {&Handlers::check_all, "check_all"},
      {&Handlers::uncheck_all, "uncheck_all"},
      {&Handlers::choose_download_folder, "choose_download_folder"},
      {&Handlers::start_download, "start_download"},
      {&Handlers::stop_download, "stop_download"},
  };
  for (const auto& [slot, name] : named_slots) {
    h.*slot = [this, name = std::string(name)](const EventArgs& args) {
      std::string call = name;
      if (args.row >= 0) {
        call += '(';
        call += std::to_string(args.row);
        call += ',';
        call += std::to_string(args.state);
        call += ')';
      }
      calls_.push_back(call);
    };
  }
}

QPoint ShellTest::check_box_point(int row) {
  ListView* list = track_list();
  const QModelIndex index = list->model()->index(row, 0);
  QStyleOptionViewItem option;
  option.initFrom(list->viewport());
  option.rect = list->visualRect(index);
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  return list->style()
      ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
      .center();
}

void ShellTest::click_check_box(int row) {
  QTest::mouseClick(track_list()->viewport(), Qt::LeftButton, {}, check_box_point(row));
}

}  // namespace lumora::test
