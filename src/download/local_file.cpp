#include "lumora/download/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "lumora/text/code_page.h"

namespace lumora {
namespace {

std::string fs_path(std::string_view gbk_path) { return gbk_to_utf8(gbk_path); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Position of a trailing "(n)" with one or two digits, and n; npos when none.
std::size_t trailing_number(std::string_view stem, int& n) {
  if (stem.size() < 3 || stem.back() != ')') return std::string_view::npos;
  const auto open = stem.rfind('(');
  if (open == std::string_view::npos) return open;
  const std::string_view digits = stem.substr(open + 1, stem.size() - open - 2);
  if (digits.empty() || digits.size() > 2 || !is_digit(digits[0]) ||
      (digits.size() == 2 && !is_digit(digits[1])))
    return std::string_view::npos;
  n = std::stoi(std::string(digits));
  return open;
}

}  // namespace

Text numbered_name(std::string_view path) {
  const auto sep = path.rfind('/');
  const std::size_t name_at = sep == std::string_view::npos ? 0 : sep + 1;
  const auto dot = path.find('.', name_at);
  const std::string_view stem = path.substr(0, dot);
  const std::string_view rest = dot == std::string_view::npos ? "" : path.substr(dot);
  int n = 0;
  const auto open = trailing_number(stem.substr(name_at), n);
  if (open == std::string_view::npos)
    return Text(stem) + "(1)" + Text(rest);
  return Text(stem.substr(0, name_at + open)) + "(" + std::to_string(n + 1) + ")" + Text(rest);
}

bool path_exists(std::string_view gbk_path, std::int64_t* size) {
  struct stat st {};
  if (::lstat(fs_path(gbk_path).c_str(), &st) != 0) return false;
  if (size) *size = st.st_size;
  return true;
}

LocalFile::~LocalFile() { close(); }

CreateResult LocalFile::create(std::string_view gbk_path, std::int64_t size) {
  close();
  const std::string path = fs_path(gbk_path);
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0) return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
  gbk_path_ = Text(gbk_path);
  created_ = true;
  size_ = size;
  if (size > 0) {
    // posix_fallocate returns the error instead of setting errno.
    if (::posix_fallocate(fd_, 0, size) != 0) {
      remove();
      return CreateResult::kFailed;
    }
  }
  return CreateResult::kCreated;
}

bool LocalFile::write(std::int64_t offset, const char* data, std::size_t length) {
  if (fd_ < 0 || offset < 0 || offset + static_cast<std::int64_t>(length) > size_) return false;
  while (length > 0) {
    const ssize_t n = ::pwrite(fd_, data, length, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return failed(n < 0 ? errno : ENOSPC);
    data += n;
    length -= static_cast<std::size_t>(n);
    offset += n;
    written(static_cast<std::size_t>(n));
  }
  return true;
}

bool LocalFile::write_from_pipe(int pipe_fd, std::int64_t offset, std::size_t length) {
  if (fd_ < 0 || offset < 0 || offset + static_cast<std::int64_t>(length) > size_) return false;
  loff_t at = offset;
  while (length > 0) {
    const ssize_t n = ::splice(pipe_fd, nullptr, fd_, &at, length, SPLICE_F_MOVE);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return failed(n < 0 ? errno : ENOSPC);
    length -= static_cast<std::size_t>(n);
    written(static_cast<std::size_t>(n));
  }
  return true;
}

bool LocalFile::failed(int error) {
  error_.store(error, std::memory_order_relaxed);
  return false;
}

void LocalFile::written(std::size_t n) {
  const auto add = static_cast<std::int64_t>(n);
  const std::int64_t before = written_total_.fetch_add(add, std::memory_order_relaxed);
  // Only a hint: a failure leaves the pages to the next flush.
  if (before / kWriteOutStep != (before + add) / kWriteOutStep)
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool LocalFile::close() {
  bool ok = true;
  if (fd_ >= 0) {
    ok = ::close(fd_) == 0;
    fd_ = -1;
  }
  return ok;
}

void LocalFile::remove() {
  close();
  if (created_) ::unlink(fs_path(gbk_path_).c_str());
  created_ = false;
}

}  // namespace lumora
