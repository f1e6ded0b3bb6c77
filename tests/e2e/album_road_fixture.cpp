#include "album_road_fixture.h"

#include <QApplication>
#include <QCursor>
#include <QInputMethodEvent>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>

#include <cstdlib>
#include <vector>

#include "lumora/app/fonts.h"
#include "lumora/sim/audio_bytes.h"
#include "lumora/test_support/child_process.h"
#include "lumora/test_support/qt_app.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"
#include "lumora/ui/qt_text.h"

namespace lumora::e2e {

sim::Simulator* AlbumRoad::sim_ = nullptr;

void AlbumRoad::SetUpTestSuite() {
  test::qt_app();
  prepare_fonts();
  // One simulator for the binary: each test reads its own log entries.
  if (!sim_) sim_ = new sim::Simulator();
}

void AlbumRoad::SetUp() {
  exits_ = std::make_unique<ExitRoutines>();
  // A second run of the program (see run_child) talks to its parent's
  // simulator and works in its parent's folder.
  const char* search = std::getenv(kChildSearch);
  const char* mobile = std::getenv(kChildMobile);
  const char* folder = std::getenv(kChildFolder);
  child_ = search && mobile && folder;
  app_ = std::make_unique<Application>(
      *exits_, child_ ? PlatformEndpoints{search, mobile}
                      : PlatformEndpoints{sim_->search_base(), sim_->mobile_base()});
  app_->start();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (child_) {
    folder_ = folder;
    return;
  }
  temp_.emplace(std::string("lumora-e2e-") + info->name());
  folder_ = temp_->path();
}

int AlbumRoad::run_child(const std::string& test_name) {
  using Setup = test::ChildSetup;
  test::ChildProcess child(
      "/proc/self/exe", {"--gtest_filter=AlbumRoad." + test_name, "--gtest_also_run_disabled_tests"},
      {.output = Setup::Output::kInherit,
       .errors = Setup::Errors::kInherit,
       .env = {std::string(kChildSearch) + "=" + sim_->search_base(),
               std::string(kChildMobile) + "=" + sim_->mobile_base(),
               std::string(kChildFolder) + "=" + folder_.string(), "QT_QPA_PLATFORM=offscreen"}});
  if (!child.started() || !child.finish(std::chrono::minutes(5))) return -1;
  return child.exit_code();
}

void AlbumRoad::TearDown() {
  if (child_) return;
  // Workers outlive nothing they touch: wait for them before the windows go.
  EXPECT_TRUE(wait_for([&] { return app_->running_workers() == 0; }, 60000));
  app_.reset();
  exits_.reset();
  temp_.reset();
}

ListView* AlbumRoad::album_list() {
  return main_window()->findChild<ListView*>(QStringLiteral("超级列表框1"));
}

ListView* AlbumRoad::track_list() {
  return track_window() ? track_window()->findChild<ListView*>(QStringLiteral("超级列表框1"))
                        : nullptr;
}

QAbstractButton* AlbumRoad::track_button(const char8_t* name) {
  return track_window()->findChild<QAbstractButton*>(
      QString::fromUtf8(reinterpret_cast<const char*>(name)));
}

void AlbumRoad::search(const QString& keyword, int expected_rows) {
  auto* box = main_window()->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
  ASSERT_NE(box, nullptr);
  box->clear();
  // Chinese is typed through an input method: its committed text.
  QInputMethodEvent typed;
  typed.setCommitString(keyword);
  QApplication::sendEvent(box, &typed);
  auto* button = main_window()->findChild<QAbstractButton*>(QStringLiteral("解析"));
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(wait_for([&] { return album_list()->topLevelItemCount() >= expected_rows; }));
  ASSERT_TRUE(wait_for([&] { return app_->running_workers() == 0; }));
  EXPECT_EQ(album_list()->topLevelItemCount(), expected_rows);
}

void AlbumRoad::open_album(std::int64_t album_id) {
  ListView* list = album_list();
  int row = -1;
  for (int r = 0; r < list->topLevelItemCount() && row < 0; ++r) {
    if (controls().cell(WindowId::main, u8"超级列表框1", r, 1) == decimal_text(album_id)) row = r;
  }
  ASSERT_GE(row, 0) << "album " << album_id << " is not in the list";
  QTreeWidgetItem* item = list->topLevelItem(row);
  list->scrollToItem(item);
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  const Text done = gbk(u8"已搜索") + decimal_text(list->topLevelItemCount()) + gbk(u8"个专辑");
  ASSERT_TRUE(wait_for([&] { return track_window() && status_part(1) == done; }));
  ASSERT_TRUE(wait_for([&] { return app_->running_workers() == 0; }));
}

void AlbumRoad::check_all_rows() {
  auto* menu = track_window()->findChild<QMenu*>(QStringLiteral("右键菜单"));
  ASSERT_NE(menu, nullptr);
  for (QAction* action : menu->actions()) {
    if (action->objectName() == QStringLiteral("全部选中")) action->trigger();
  }
  // The menu queues its command, as after a real pop-up.
  const Text done = gbk(u8"选中") + decimal_text(track_list()->topLevelItemCount()) +
                    gbk(u8"个视频");
  ASSERT_TRUE(wait_for([&] { return status_part(1) == done; }));
}

void AlbumRoad::list_tracks(std::int64_t album_id, int count) {
  app_->shell().open_track_window();
  const sim::SimAlbum& album = *sim_->catalogue().album(album_id);
  for (int i = 0; i < count; ++i) {
    const sim::SimTrack& track = album.tracks[static_cast<std::size_t>(i)];
    add_track_row(utf8_to_gbk(track.title), track.play_url);
  }
}

void AlbumRoad::add_track_row(const Text& title, const Text& address) {
  const int row = controls().append_row(WindowId::track, u8"超级列表框1");
  controls().set_cell(WindowId::track, u8"超级列表框1", row, 1, title);
  controls().set_cell(WindowId::track, u8"超级列表框1", row, 2, address);
}

void AlbumRoad::click_check_box(int row) {
  ListView* list = track_list();
  QStyleOptionViewItem option;
  option.initFrom(list->viewport());
  option.rect = list->visualRect(list->model()->index(row, 0));
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  const QPoint at =
      list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
  const bool was = controls().is_checked(WindowId::track, u8"超级列表框1", row);
  const Text before = status_part(1);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  ASSERT_NE(controls().is_checked(WindowId::track, u8"超级列表框1", row), was);
  // The check event is queued behind the click.
  ASSERT_TRUE(wait_for([&] { return status_part(1) != before; }));
}

std::optional<QPoint> AlbumRoad::right_click(int row, std::optional<ControlName> item) {
  ListView* list = track_list();
  const int last = list->topLevelItemCount() - 1;
  const QRect rect = list->visualRect(list->model()->index(row < 0 ? last : row, 1));
  const QPoint at = row < 0 ? QPoint(rect.center().x(), rect.bottom() + 2 * rect.height())
                            : rect.center();
  QCursor::setPos(list->viewport()->mapToGlobal(at));
  std::optional<QPoint> opened;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    driver.stop();
    opened = menu->pos();
    if (item) {
      QAction* action = menu->findChild<QAction*>(qstring_of_name(*item));
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    } else {
      QTest::keyClick(menu, Qt::Key_Escape);
    }
  });
  driver.start(5);
  // The handler's pop-up runs inside the click and returns when it closes.
  QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
  QCoreApplication::processEvents();  // the chosen item's queued command
  return opened;
}

void AlbumRoad::choose_folder(const std::filesystem::path& folder) {
  app_->shell().set_folder_dialog([folder] { return Text(folder.string()); });
  QTest::mouseClick(track_button(u8"按钮1"), Qt::LeftButton);
}

void AlbumRoad::download_checked() {
  QTest::mouseClick(track_button(u8"按钮_开始下载"), Qt::LeftButton);
}

bool AlbumRoad::buttons_idle() {
  return track_button(u8"按钮_开始下载")->isEnabled() &&
         !track_button(u8"按钮_停止下载")->isEnabled();
}

Text AlbumRoad::track_cell(int row, int column) {
  return controls().cell(WindowId::track, u8"超级列表框1", row, column);
}

Text AlbumRoad::status_part(int part) {
  return controls().part_text(WindowId::track, u8"状态条1", part);
}

std::string AlbumRoad::sha256_of_file(const std::filesystem::path& file) {
  const std::string digest = sim::file_sha256(file.string());
  return digest.empty() ? "missing" : digest;
}

}  // namespace lumora::e2e
