#include "lumora/app/download_folder.h"

#include <unistd.h>

#include <QDir>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "lumora/app/program_paths.h"
#include "lumora/text/code_page.h"
#include "lumora/ui/qt_text.h"

namespace lumora {
namespace {

bool is_writable_directory(const Text& dir) {
  const std::string path = gbk_to_utf8(dir);
  std::error_code error;
  return std::filesystem::is_directory(path, error) && ::access(path.c_str(), W_OK) == 0;
}

void make_sure_directory_exists(const Text& dir) {
  const std::filesystem::path path(gbk_to_utf8(dir));
  std::error_code error;
  if (!std::filesystem::is_directory(path, error))
    std::filesystem::create_directories(path, error);
}

}  // namespace

Text music_folder() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  return with_trailing_slash(gbk_of_qstring(music.isEmpty() ? QDir::homePath() : music));
}

Text default_download_folder(const Text& program_dir) {
  const Text base = is_writable_directory(program_dir) ? with_trailing_slash(program_dir)
                                                       : music_folder();
  const Text folder = base + "LumoraFM/";
  make_sure_directory_exists(folder);
  return folder;
}

}  // namespace lumora
