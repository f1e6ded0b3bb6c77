#include "lumora/cli/safe_open.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace lumora::cli {

int open_no_follow(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::string open_problem(const std::string& path, int error) {
  if (error == ELOOP && is_symbolic_link(path)) return path + " is a symbolic link, which is refused";
  return "cannot open " + path + ": " + std::strerror(error);
}

bool is_symbolic_link(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

}  // namespace lumora::cli
