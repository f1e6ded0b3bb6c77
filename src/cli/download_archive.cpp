#include "lumora/cli/download_archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace lumora::cli {
namespace {

bool fits_line(const std::string& text) {
  return !text.empty() && text.find_first_of("\t\r\n") == std::string::npos;
}

bool plain_name(const std::string& name) {
  return fits_line(name) && name.find('/') == std::string::npos && name != "." && name != "..";
}

}  // namespace

DownloadArchive::DownloadArchive(std::string dir) : dir_(std::move(dir)) {
  std::ifstream in(path());
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::string address = line.substr(0, tab);
    std::string name = line.substr(tab + 1);
    if (fits_line(address) && plain_name(name)) entries_.emplace(std::move(address), std::move(name));
  }
}

bool DownloadArchive::has(const std::string& address, std::string* file_name) const {
  std::lock_guard lock(mutex_);
  const auto [begin, end] = entries_.equal_range(address);
  for (auto it = begin; it != end; ++it) {
    std::error_code error;
    if (std::filesystem::is_regular_file(dir_ + "/" + it->second, error)) {
      if (file_name) *file_name = it->second;
      return true;
    }
  }
  return false;
}

bool DownloadArchive::add(const std::string& address, const std::string& file_name) {
  if (!fits_line(address) || !plain_name(file_name)) return false;
  const std::string line = address + '\t' + file_name + '\n';
  std::lock_guard lock(mutex_);
  const int fd = ::open(path().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write of the whole line, so a line is either there or not.
  const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!written || !synced) return false;
  entries_.emplace(address, file_name);
  return true;
}

}  // namespace lumora::cli
