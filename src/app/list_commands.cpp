#include "lumora/app/list_commands.h"

#include <QApplication>
#include <QFileDialog>

#include "lumora/app/download_folder.h"
#include "lumora/app/program_paths.h"
#include "lumora/text/code_page.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

constexpr WindowId kTrack = WindowId::track;
constexpr ControlName kList = u8"超级列表框1";

}  // namespace

Text show_folder_dialog() {
  const QString dir = QFileDialog::getExistingDirectory(
      QApplication::activeWindow(), QStringLiteral("选择文件夹"), QString(),
      QFileDialog::ShowDirsOnly);
  return gbk_of_qstring(dir);
}

void uncheck_all(Controls& controls, CheckedRowCounter& counter) {
  counter.value = 0;
  controls.set_part_text(kTrack, u8"状态条1", 1, gbk(u8"取消全部勾选状态！"));
  controls.set_enabled(kTrack, u8"全部选中", true);
  const int rows = controls.row_count(kTrack, kList);
  for (int row = 0; row < rows; ++row) controls.set_checked(kTrack, kList, row, false);
  controls.set_enabled(kTrack, u8"取消选中", false);
}

void choose_download_folder(Controls& controls, const FolderDialog& dialog,
                            const Text& program_dir) {
  const Text chosen = dialog ? dialog() : Text();
  if (!chosen.empty()) {
    controls.set_text(kTrack, u8"编辑框_下载目录", with_trailing_slash(chosen));
    return;
  }
  controls.set_text(kTrack, u8"编辑框_下载目录", default_download_folder(program_dir));
}

}  // namespace lumora
