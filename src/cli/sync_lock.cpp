#include "lumora/cli/sync_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lumora/cli/config_folder.h"
#include "lumora/cli/safe_open.h"

namespace lumora::cli {

SyncLock::SyncLock(const std::string& config_folder) : path_(config_folder + "/sync.lock") {
  if (error_ = make_config_folder(config_folder); !error_.empty()) return;
  fd_ = open_no_follow(path_, O_RDWR | O_CREAT);
  if (fd_ < 0) {
    error_ = open_problem(path_, errno);
    return;
  }
  int result;
  while ((result = ::flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  taken_ = result == 0;
  busy_ = !taken_ && errno == EWOULDBLOCK;
  if (!taken_ && !busy_) error_ = "cannot lock " + path_ + ": " + std::strerror(errno);
}

SyncLock::~SyncLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace lumora::cli
