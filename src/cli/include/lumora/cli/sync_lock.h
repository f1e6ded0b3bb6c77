// The lock that keeps two syncs from running at once: an exclusive,
// non-blocking flock on "sync.lock" in the config folder, held until the
// object goes. The kernel drops it when the process ends, however it ends.
#pragma once

#include <string>

namespace lumora::cli {

class SyncLock {
 public:
  // Tries once; see taken() and busy().
  explicit SyncLock(const std::string& config_folder);
  ~SyncLock();
  SyncLock(const SyncLock&) = delete;
  SyncLock& operator=(const SyncLock&) = delete;

  bool taken() const { return taken_; }
  // Another process holds it.
  bool busy() const { return busy_; }
  const std::string& path() const { return path_; }
  // Why it could not be tried (neither taken nor busy).
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool taken_ = false;
  bool busy_ = false;
  std::string error_;
};

}  // namespace lumora::cli
