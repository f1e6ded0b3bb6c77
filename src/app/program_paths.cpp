#include "lumora/app/program_paths.h"

#include <QDir>
#include <filesystem>
#include <system_error>

#include "lumora/text/code_page.h"
#include "lumora/ui/qt_text.h"

namespace lumora {

Text program_directory() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return ".";
  return utf8_to_gbk(exe.parent_path().string());
}

Text home_folder() { return with_trailing_slash(gbk_of_qstring(QDir::homePath())); }

Text with_trailing_slash(Text path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace lumora
