#include "lumora/cli/following_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "lumora/cli/atomic_file.h"
#include "lumora/cli/config_folder.h"
#include "lumora/cli/safe_open.h"

namespace lumora::cli {
namespace {

// Holds an exclusive flock on a file for its lifetime; the lock goes with
// the process, so a crash never leaves it taken.
class HeldLock {
 public:
  explicit HeldLock(const std::string& path)
      : fd_(open_no_follow(path, O_RDWR | O_CREAT)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~HeldLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

FollowingFile::FollowingFile(std::string folder) : folder_(std::move(folder)) {}

bool FollowingFile::read(std::vector<FollowedAlbum>& albums, std::string& error) const {
  albums.clear();
  std::string text;
  if (!read_whole_file(path(), text)) {
    if (errno == ENOENT) return true;
    error = errno == ELOOP ? open_problem(path(), errno)
                           : "cannot read " + path() + ": " + std::strerror(errno);
    return false;
  }
  FollowedRead parsed = parse_followed(text);
  if (!parsed.error.empty()) {
    error = "cannot read " + path() + ": " + parsed.error + " (fix or remove the file)";
    return false;
  }
  albums = std::move(parsed.albums);
  return true;
}

bool FollowingFile::update(const Change& change, std::string& error) const {
  if (error = make_config_folder(folder_); !error.empty()) return false;
  HeldLock lock(path() + ".lock");
  if (!lock.held()) {
    error = "cannot lock: " + open_problem(path() + ".lock", errno);
    return false;
  }
  std::vector<FollowedAlbum> albums;
  if (!read(albums, error)) return false;
  if (!change(albums)) return true;
  error = replace_file_atomically(path(), followed_text(albums));
  return error.empty();
}

}  // namespace lumora::cli
