#include "lumora/cli/sync_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lumora/cli/config_folder.h"

namespace lumora::cli {

SyncLock::SyncLock(const std::string& config_folder) : path_(config_folder + "/sync.lock") {
  if (error_ = make_config_folder(config_folder); !error_.empty()) return;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = "cannot open " + path_ + ": " + std::strerror(errno);
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
