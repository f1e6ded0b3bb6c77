// A LocalFile over a file opened elsewhere, and flushing it.
#include <sys/mman.h>
#include <unistd.h>

#include "lumora/download/local_file.h"

namespace lumora {

bool LocalFile::adopt(int fd, std::string_view gbk_path, std::int64_t size) {
  close();
  fd_ = fd;
  gbk_path_ = Text(gbk_path);
  created_ = false;
  size_ = size;
  if (size == 0) return true;
  void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED,
                     fd_, 0);
  if (map == MAP_FAILED) {
    close();
    return false;
  }
  map_ = static_cast<char*>(map);
  return true;
}

bool LocalFile::flush() {
  if (fd_ < 0) return false;
  if (map_ && ::msync(map_, static_cast<std::size_t>(size_), MS_SYNC) != 0) return false;
  return ::fdatasync(fd_) == 0;
}

}  // namespace lumora
