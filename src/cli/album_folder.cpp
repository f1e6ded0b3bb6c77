#include "lumora/cli/album_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "lumora/cli/download_archive.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

std::string unusable(const std::string& dir, int error) {
  return "cannot use folder " + dir + ": " + std::strerror(error);
}

// A file made and removed again: what the engine will do for every track.
int creation_error(const std::string& dir) {
  std::string probe = dir + "/.lumorafm-probe-XXXXXX";
  const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(probe.c_str());
  return 0;
}

}  // namespace

std::string folder_problem(const std::string& dir) {
  if (gbk_to_utf8(utf8_to_gbk(dir)) != dir) return "folder name has characters GBK lacks: " + dir;
  std::error_code error;
  if (!std::filesystem::is_directory(dir, error)) {
    if (std::filesystem::exists(dir, error)) return unusable(dir, ENOTDIR);
    std::filesystem::create_directories(dir, error);
    if (error) return "cannot use folder " + dir + ": " + error.message();
  }
  if (const int failed = creation_error(dir)) return unusable(dir, failed);
  return DownloadArchive(dir).problem();
}

}  // namespace lumora::cli
