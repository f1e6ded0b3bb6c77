#include "lumora/download/working_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "lumora/download/local_file.h"
#include "lumora/download/side_files.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

constexpr std::size_t kMaxRecordBytes = 64 << 20;

std::atomic<DataSync> data_sync{nullptr};

bool sync_data(int fd) {
  const DataSync sync = data_sync.load();
  return (sync ? sync : ::fdatasync)(fd) == 0;
}

bool ours(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_uid == ::geteuid(); }

// Open errors that mean "something is there that this task may not use"
// rather than a folder where nothing can be made. A refused permission is
// one only when the name exists: in a folder that cannot be written, a new
// name would be refused just the same.
bool unusable(int error, bool create, const std::string& name) {
  struct stat st {};
  if (error == EACCES) return ::lstat(name.c_str(), &st) == 0;
  return (error == ENOENT && !create) || error == ELOOP || error == EISDIR || error == ENXIO ||
         error == ETXTBSY;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<std::string> read_small(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::string> out;
  if (::fstat(fd, &st) == 0 && ours(st) && static_cast<std::size_t>(st.st_size) <= kMaxRecordBytes) {
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t have = 0;
    while (have < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      have += static_cast<std::size_t>(n);
    }
    if (have == bytes.size()) out = std::move(bytes);
  }
  ::close(fd);
  return out;
}

void sync_folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void set_data_sync(DataSync sync) { data_sync.store(sync); }

bool rename_no_replace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link fails on an existing name too.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

WorkingFile::~WorkingFile() { release(); }

std::string WorkingFile::working_name() const {
  return gbk_to_utf8(final_path_ + Text(kWorkingSuffix));
}

std::string WorkingFile::record_name() const {
  return gbk_to_utf8(final_path_ + Text(kRecordSuffix));
}

WorkingFile::Take WorkingFile::take(std::string_view final_path, bool create) {
  release();
  final_path_ = Text(final_path);
  const std::string name = working_name();
  // A file renamed or removed by its last holder between our open and our
  // lock is not the working file any more: open the name again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0);
    const int fd = ::open(name.c_str(), flags, 0644);
    if (fd < 0) {
      error_ = errno;
      return unusable(error_, create, name) ? Take::kBusy : Take::kFailed;
    }
    struct stat opened {}, named {};
    if (::fstat(fd, &opened) != 0 || !ours(opened) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return Take::kBusy;
    }
    if (::lstat(name.c_str(), &named) == 0 && same_file(opened, named)) {
      fd_ = fd;
      return Take::kTaken;
    }
    ::close(fd);
  }
  return Take::kBusy;
}

std::optional<ResumeRecord> WorkingFile::load_record() const {
  if (!held()) return std::nullopt;
  const std::optional<std::string> bytes = read_small(record_name());
  if (!bytes) return std::nullopt;
  std::optional<ResumeRecord> record = decode_record(*bytes);
  struct stat st {};
  if (!record || ::fstat(fd_, &st) != 0 || st.st_size != record->size) return std::nullopt;
  return record;
}

bool WorkingFile::save_record(const ResumeRecord& record) {
  if (!held()) return false;
  const std::string temp = gbk_to_utf8(final_path_ + Text(kRecordTempSuffix));
  ::unlink(temp.c_str());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = write_all(fd, encode_record(record)) && ::fdatasync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temp.c_str(), record_name().c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool WorkingFile::reserve_fresh(std::int64_t size) {
  if (!held()) return false;
  if (::ftruncate(fd_, 0) != 0) {
    error_ = errno;
    return false;
  }
  ::unlink(record_name().c_str());  // it described the old content
  return reserve_again(size);
}

bool WorkingFile::reserve_again(std::int64_t size) {
  if (!held()) return false;
  // posix_fallocate returns the error instead of setting errno.
  error_ = size == 0 ? 0 : ::posix_fallocate(fd_, 0, size);
  return error_ == 0;
}

int WorkingFile::duplicate() {
  const int fd = held() ? ::fcntl(fd_, F_DUPFD_CLOEXEC, 0) : -1;
  if (fd < 0 && held()) error_ = errno;
  return fd;
}

std::optional<Text> WorkingFile::complete() {
  if (!held()) return std::nullopt;
  if (!sync_data(fd_)) {
    error_ = errno;
    return std::nullopt;
  }
  Text target = final_path_;
  for (int tries = 0;; ++tries) {
    if (rename_no_replace(working_name(), gbk_to_utf8(target))) break;
    error_ = errno;
    if (error_ != EEXIST || tries == kMaxRenames) return std::nullopt;
    target = numbered_name(target);
  }
  ::unlink(record_name().c_str());
  sync_folder_of(gbk_to_utf8(target));
  ::close(fd_);
  fd_ = -1;
  return target;
}

void WorkingFile::discard() {
  if (!held()) return;
  ::unlink(record_name().c_str());
  ::unlink(gbk_to_utf8(final_path_ + Text(kRecordTempSuffix)).c_str());
  ::unlink(working_name().c_str());
  release();
}

void WorkingFile::release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace lumora
