#include "lumora/cli/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "lumora/cli/safe_open.h"

namespace lumora::cli {
namespace {

std::string error_text(const std::string& what) { return what + ": " + std::strerror(errno); }

bool write_all(int fd, const std::string& content) {
  std::size_t at = 0;
  while (at < content.size()) {
    const ssize_t n = ::write(fd, content.data() + at, content.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  return true;
}

void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string replace_file_atomically(const std::string& path, const std::string& content) {
  // Renaming over a link would replace it; one in our file's place is not ours to change.
  if (is_symbolic_link(path)) return path + " is a symbolic link, which is refused";
  const std::filesystem::path target(path);
  const std::string folder = target.parent_path().empty() ? "." : target.parent_path().string();
  std::string temporary = folder + "/." + target.filename().string() + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return error_text("cannot create a file in " + folder);
  const bool written = write_all(fd, content) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  const std::string problem = written ? std::string() : error_text("cannot write " + temporary);
  ::close(fd);
  if (written && ::rename(temporary.c_str(), path.c_str()) == 0) {
    sync_folder(folder);
    return {};
  }
  const std::string reason = written ? error_text("cannot rename " + temporary + " to " + path) : problem;
  ::unlink(temporary.c_str());
  return reason;
}

bool read_whole_file(const std::string& path, std::string& content) {
  const int fd = open_no_follow(path, O_RDONLY);
  if (fd < 0) return false;
  std::string text;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  const int error = errno;
  ::close(fd);
  if (n < 0) {
    errno = error;
    return false;
  }
  content = std::move(text);
  return true;
}

}  // namespace lumora::cli
