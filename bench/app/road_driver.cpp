#include "road_driver.h"

#include <openssl/evp.h>

#include <QApplication>
#include <QEventLoop>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <vector>

#include "lumora/controls/control_names.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"
#include "lumora/ui/qt_text.h"

namespace lumora::bench {

RoadDriver::RoadDriver(sim::Simulator& sim)
    : exits_(std::make_unique<ExitRoutines>()),
      app_(std::make_unique<Application>(
          *exits_, PlatformEndpoints{sim.search_base(), sim.mobile_base()})) {
  app_->start();
}

RoadDriver::~RoadDriver() {
  run_until([&] { return app_->running_workers() == 0; }, 60000);
  app_.reset();
  exits_.reset();
}

ListView* RoadDriver::album_list() {
  return main_window()->findChild<ListView*>(qstring_of_name(kList));
}

ListView* RoadDriver::track_list() {
  return track_window() ? track_window()->findChild<ListView*>(qstring_of_name(kList))
                        : nullptr;
}

QAbstractButton* RoadDriver::track_button(ControlName name) {
  return track_window()->findChild<QAbstractButton*>(qstring_of_name(name));
}

bool RoadDriver::search(const QString& keyword) {
  auto* box = main_window()->findChild<QLineEdit*>(qstring_of_name(kKeywordBox));
  auto* button = main_window()->findChild<QAbstractButton*>(qstring_of_name(kSearchButton));
  if (!box || !button) return false;
  box->clear();
  // Chinese is typed through an input method: its committed text.
  QInputMethodEvent typed;
  typed.setCommitString(keyword);
  QApplication::sendEvent(box, &typed);
  QTest::mouseClick(button, Qt::LeftButton);
  return run_until([&] { return app_->running_workers() == 0; }, 30000);
}

int RoadDriver::album_row(std::int64_t album_id) {
  const int rows = album_list()->topLevelItemCount();
  for (int row = 0; row < rows; ++row) {
    if (controls().cell(WindowId::main, kList, row, 1) == decimal_text(album_id))
      return row;
  }
  return -1;
}

void RoadDriver::double_click_album(int row) {
  ListView* list = album_list();
  QTreeWidgetItem* item = list->topLevelItem(row);
  list->scrollToItem(item);
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

bool RoadDriver::check_all() {
  auto* menu = track_window()->findChild<QMenu*>(qstring_of_name(kMenu));
  if (!menu) return false;
  for (QAction* action : menu->actions()) {
    if (action->objectName() == qstring_of_name(kCheckAllItem)) action->trigger();
  }
  const Text done =
      gbk(u8"选中") + decimal_text(track_list()->topLevelItemCount()) + gbk(u8"个视频");
  return run_until(
      [&] { return controls().part_text(WindowId::track, kStatusBar, 1) == done; }, 10000);
}

void RoadDriver::choose_folder(const std::filesystem::path& folder) {
  app_->shell().set_folder_dialog([folder] { return Text(folder.string()); });
  QTest::mouseClick(track_button(kFolderButton), Qt::LeftButton);
}

void RoadDriver::click_download() {
  QTest::mouseClick(track_button(kStartButton), Qt::LeftButton);
}

bool RoadDriver::run_until(const std::function<bool()>& done, int ms) {
  if (done()) return true;
  QEventLoop loop;
  QTimer check;
  check.setTimerType(Qt::PreciseTimer);
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(1);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

std::string sha256_of_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "missing";
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
  std::vector<char> block(1 << 16);
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    EVP_DigestUpdate(ctx, block.data(), static_cast<std::size_t>(in.gcount()));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(ctx, digest, &length);
  EVP_MD_CTX_free(ctx);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

}  // namespace lumora::bench
