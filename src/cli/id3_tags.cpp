#include "lumora/cli/id3_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "lumora/cli/safe_open.h"

namespace lumora::cli {
namespace {

TagLib::String utf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

// A file descriptor closed on every way out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

std::string system_reason(int error) { return std::strerror(error != 0 ? error : EIO); }

// The bytes of an ID3v2 tag at the start of `head` (its first ten bytes),
// footer included; 0 when there is none.
std::int64_t tag_length(const unsigned char* head) {
  if (std::memcmp(head, "ID3", 3) != 0) return 0;
  std::int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (head[i] & 0x80) return 0;
    size = size << 7 | head[i];
  }
  return 10 + size + ((head[5] & 0x10) ? 10 : 0);
}

// The new tag: TagLib's rendering of the file's own tag with our fields set.
bool render_tag(const std::string& path, const TrackTags& tags, TagLib::ByteVector& out) {
  TagLib::MPEG::File file(path.c_str(), false);
  if (!file.isOpen() || !file.isValid()) return false;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  if (!tags.title.empty()) tag->setTitle(utf8(tags.title));
  if (tags.track_number > 0) tag->setTrack(tags.track_number);
  if (!tags.album.empty()) tag->setAlbum(utf8(tags.album));
  if (!tags.artist.empty()) tag->setArtist(utf8(tags.artist));
  out = tag->render();
  return true;
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Everything of `from` after `skip`, appended to `to`.
bool copy_rest(int from, std::int64_t skip, int to) {
  if (::lseek(from, skip, SEEK_SET) != skip) return false;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!write_all(to, buffer, static_cast<std::size_t>(n))) return false;
  }
}

void sync_folder(const std::string& folder) {
  Fd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd >= 0) ::fsync(dir.fd);
}

// The tagged copy at `copy`: tag, then the audio; synced. Errno on failure.
bool write_copy(int original, std::int64_t skip, const TagLib::ByteVector& tag, int copy,
                mode_t mode) {
  return write_all(copy, tag.data(), tag.size()) && copy_rest(original, skip, copy) &&
         ::fchmod(copy, mode & 07777) == 0 && ::fsync(copy) == 0;
}

}  // namespace

bool carries_tags(const std::string& path, const TrackTags& tags) {
  {
    Fd fd{open_no_follow(path, O_RDONLY)};
    unsigned char head[10];
    if (fd.fd < 0 || ::read(fd.fd, head, sizeof head) != sizeof head || tag_length(head) == 0)
      return false;
  }
  TagLib::MPEG::File file(path.c_str(), false);
  const TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
  return tag && (tags.title.empty() || tag->title() == utf8(tags.title)) &&
         (tags.track_number == 0 || tag->track() == tags.track_number) &&
         (tags.album.empty() || tag->album() == utf8(tags.album)) &&
         (tags.artist.empty() || tag->artist() == utf8(tags.artist));
}

std::string write_id3_tags(const std::string& path, const TrackTags& tags) {
  Fd original{open_no_follow(path, O_RDONLY)};
  struct stat status {};
  if (original.fd < 0 || ::fstat(original.fd, &status) != 0) return system_reason(errno);
  unsigned char head[10] = {};
  const bool tagged = ::pread(original.fd, head, sizeof head, 0) == sizeof head;
  const std::int64_t skip = tagged ? std::min<std::int64_t>(tag_length(head), status.st_size) : 0;
  TagLib::ByteVector tag;
  if (!render_tag(path, tags, tag)) return "the file cannot be read as MPEG audio";

  const std::filesystem::path target(path);
  std::string copy_path =
      (target.parent_path() / ('.' + target.filename().string() + ".tag-XXXXXX")).string();
  Fd copy{::mkostemp(copy_path.data(), O_CLOEXEC)};
  if (copy.fd < 0) return system_reason(errno);
  errno = 0;
  if (!write_copy(original.fd, skip, tag, copy.fd, status.st_mode) ||
      ::rename(copy_path.c_str(), path.c_str()) != 0) {
    const std::string reason = system_reason(errno);
    ::unlink(copy_path.c_str());
    return reason;
  }
  sync_folder(target.parent_path().string());
  return {};
}

}  // namespace lumora::cli
