// The task's local file: created new, sized in full, written at offsets. Paths are GBK and converted to UTF-8 only here.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// At most this many new names are tried for a name that exists.
inline constexpr int kMaxRenames = 99;

// The next name to try when `path` exists: the part of the file name before
// its first "." gets "(1)", or "(n+1)" when it already ends in "(n)" with
// one or two digits; the rest from that "." is kept. a.mp3 -> a(1).mp3,
// a(1).mp3 -> a(2).mp3, vol.1.mp3 -> vol(1).1.mp3.
Text numbered_name(std::string_view path);

// True when something exists at the GBK path; `size` gets its length.
bool path_exists(std::string_view gbk_path, std::int64_t* size = nullptr);

enum class CreateResult { kCreated, kExists, kFailed };

// Owned by one task. create/close/remove run on one thread at a time (the
// task orders them); write may run on several connection threads at once,
// each on its own byte range.
class LocalFile {
 public:
  LocalFile() = default;
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Creates the file new (never over an existing one), reserves `size`
  // bytes on disk, so a full disk fails here rather than on a later write.
  CreateResult create(std::string_view gbk_path, std::int64_t size);
  // Writes `length` bytes at `offset` (pwrite, no shared position); false
  // when not open, out of the size, or the system refused the write.
  bool write(std::int64_t offset, const char* data, std::size_t length);
  // Moves exactly `length` bytes waiting in the pipe `pipe_fd` to `offset`
  // (splice: no copy through user space); false as write() is.
  bool write_from_pipe(int pipe_fd, std::int64_t offset, std::size_t length);
  // Takes over `fd`, an open file already sized to `size` bytes that someone
  // else named and owns on disk (a working file). The file is never removed
  // from here.
  bool adopt(int fd, std::string_view gbk_path, std::int64_t size);
  // Puts every byte written so far on the disk.
  bool flush();
  // Closes; false when the data could not be flushed.
  bool close();
  // Closes if needed and deletes the file this object created.
  void remove();

  bool is_open() const { return fd_ >= 0; }
  // The system's error (errno) of the last write that failed; 0 when none
  // did, or when it failed without one (out of the file's size).
  int error() const { return error_.load(std::memory_order_relaxed); }
  const Text& gbk_path() const { return gbk_path_; }

  // Written bytes between two starts of the disk write-out (see written()).
  static constexpr std::int64_t kWriteOutStep = 8 << 20;

 private:
  // Counts `n` written bytes; each kWriteOutStep starts writing the file's
  // dirty pages out without waiting, so a flush (a record's, the final one)
  // finds little left to do instead of the whole download at once.
  void written(std::size_t n);
  // Keeps `error` for error() and gives false.
  bool failed(int error);

  int fd_ = -1;
  std::atomic<std::int64_t> written_total_{0};
  std::atomic<int> error_{0};
  std::int64_t size_ = 0;
  Text gbk_path_;
  bool created_ = false;
};

}  // namespace lumora
