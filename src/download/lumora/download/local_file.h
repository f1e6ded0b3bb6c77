// The task's local file: created new, sized in full, written through a
// shared memory mapping. Paths are GBK and converted to UTF-8 only here.
#pragma once

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
  // bytes on disk, so a full disk fails here rather than as a fault on a
  // later write, and maps it.
  CreateResult create(std::string_view gbk_path, std::int64_t size);
  // Copies `length` bytes to `offset`; the range must lie within the size.
  void write(std::int64_t offset, const char* data, std::size_t length);
  // Where `length` bytes at `offset` live in the mapping, for receiving
  // straight into the file; nullptr when not mapped or out of range.
  char* place(std::int64_t offset, std::size_t length);
  // Faults the pages of [offset, offset + length) in, writable, in one call
  // rather than one fault a page; only a speed-up, failures are ignored.
  void prepare(std::int64_t offset, std::int64_t length);
  // Takes over `fd`, an open file already sized to `size` bytes that someone
  // else named and owns on disk (a working file), and maps it. The file is
  // never removed from here. False (fd closed) when it cannot be mapped.
  bool adopt(int fd, std::string_view gbk_path, std::int64_t size);
  // Puts every byte written so far on the disk (mapping and file data).
  bool flush();
  // Unmaps and closes; false when the data could not be flushed.
  bool close();
  // Closes if needed and deletes the file this object created.
  void remove();

  bool is_open() const { return fd_ >= 0; }
  const Text& gbk_path() const { return gbk_path_; }

 private:
  int fd_ = -1;
  char* map_ = nullptr;
  std::int64_t size_ = 0;
  Text gbk_path_;
  bool created_ = false;
};

}  // namespace lumora
