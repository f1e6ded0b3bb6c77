// A LocalFile over a file opened elsewhere, and flushing it.
#include <unistd.h>

#include "lumora/download/local_file.h"

namespace lumora {

bool LocalFile::adopt(int fd, std::string_view gbk_path, std::int64_t size) {
  close();
  fd_ = fd;
  gbk_path_ = Text(gbk_path);
  created_ = false;
  size_ = size;
  return fd >= 0;
}

bool LocalFile::flush() { return fd_ >= 0 && ::fdatasync(fd_) == 0; }

}  // namespace lumora
