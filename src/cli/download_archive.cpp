#include "lumora/cli/download_archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "lumora/cli/safe_open.h"

namespace lumora::cli {
namespace {

bool fits_line(std::string_view text) {
  return !text.empty() && text.find_first_of("\t\r\n") == std::string_view::npos;
}

bool plain_name(std::string_view name) {
  return fits_line(name) && name.find('/') == std::string_view::npos && name != "." &&
         name != "..";
}

std::optional<std::int64_t> size_field(std::string_view text) {
  if (text.empty() || text.size() > 18 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
    return std::nullopt;
  return std::stoll(std::string(text));
}

// Key and entry of one line of either format.
std::optional<std::pair<std::string, ArchiveEntry>> read_line(std::string_view line) {
  const std::size_t first = line.find('\t');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = line.find('\t', first + 1);
  const std::string_view key = line.substr(0, first);
  std::string_view name = line.substr(first + 1);
  std::int64_t size = -1;
  if (second != std::string_view::npos) {
    const auto s = size_field(line.substr(first + 1, second - first - 1));
    if (!s) return std::nullopt;
    size = *s;
    name = line.substr(second + 1);
  }
  if (!fits_line(key) || !plain_name(name)) return std::nullopt;
  return std::pair{std::string(key), ArchiveEntry{std::string(name), size}};
}

// The file's whole text, or the reason it cannot be read. A missing file is
// an empty text.
std::string read_archive(const std::string& path, std::string& text) {
  const int fd = open_no_follow(path, O_RDONLY);
  if (fd < 0) return errno == ENOENT ? std::string() : open_problem(path, errno);
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  const int error = n < 0 ? errno : 0;
  ::close(fd);
  return error ? "cannot read " + path + ": " + std::strerror(error) : std::string();
}

}  // namespace

std::string archive_key(std::string_view album_id, std::string_view track_id,
                        std::string_view address) {
  const std::string album = "album " + std::string(album_id);
  if (!track_id.empty()) return album + " track " + std::string(track_id);
  return album + " address " + std::string(address.substr(0, address.find_first_of("?#")));
}

DownloadArchive::DownloadArchive(std::string dir) : dir_(std::move(dir)) {
  std::string text;
  problem_ = read_archive(path(), text);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (auto entry = read_line(line)) entries_[entry->first] = std::move(entry->second);
}

std::optional<ArchiveEntry> DownloadArchive::find(const std::string& key) const {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(key);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

bool DownloadArchive::has(const std::string& key, std::string* file_name) const {
  const std::optional<ArchiveEntry> entry = find(key);
  std::error_code error;
  if (!entry || !std::filesystem::is_regular_file(dir_ + "/" + entry->file_name, error))
    return false;
  if (file_name) *file_name = entry->file_name;
  return true;
}

bool DownloadArchive::add(const std::string& key, const std::string& file_name,
                          std::int64_t size, std::string* why) {
  const auto failed = [why](std::string reason) {
    if (why) *why = std::move(reason);
    return false;
  };
  if (!fits_line(key) || !plain_name(file_name) || size < 0)
    return failed("the name or key does not fit an archive line");
  const std::string line = key + '\t' + std::to_string(size) + '\t' + file_name + '\n';
  std::lock_guard lock(mutex_);
  const int fd = open_no_follow(path(), O_RDWR | O_CREAT | O_APPEND);
  if (fd < 0) return failed(open_problem(path(), errno));
  // A last line left without its line break keeps its own line.
  char last = '\n';
  if (::lseek(fd, -1, SEEK_END) >= 0 && ::read(fd, &last, 1) != 1) last = '\n';
  const std::string text = last == '\n' ? line : '\n' + line;
  // One write of the whole line, so a line is either there or not.
  errno = 0;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const bool synced = written && ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  if (!written || !synced)
    return failed("cannot write " + path() + ": " + std::strerror(error ? error : EIO));
  entries_[key] = {file_name, size};
  return true;
}

}  // namespace lumora::cli
