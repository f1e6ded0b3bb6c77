// The archive `get` keeps in its folder: one line per completed track, who
// the track is on the platform, the file it became and that file's size, so
// a later `get --skip-existing` knows what it has even after tags have
// changed the files, and notices a file that changed since.
//
// File format, UTF-8 lines, one appended (and flushed) only once its file is
// complete and tagged:
//   "KEY\tSIZE\tFILE NAME\n"   KEY from archive_key(), SIZE in bytes
// Lines of the first format, "ADDRESS\tFILE NAME\n" (the track's whole
// address, no size), are still read: find() gives them under that address
// with size -1. Later lines for a key replace earlier ones; lines of
// neither shape are ignored. Nothing is ever removed from the file. The file
// is never read or written through a symbolic link in its place.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::cli {

inline constexpr const char* kArchiveName = ".lumorafm-archive";

// A track's identity: the album id and the platform's trackId when the
// listing gives one, else its address without the query (which may carry a
// changing token) and without a fragment.
//   "album 3700002 track 3700002001", "album 3700002 address http://h/a.mp3"
std::string archive_key(std::string_view album_id, std::string_view track_id,
                        std::string_view address);

struct ArchiveEntry {
  std::string file_name;   // a plain name inside the folder
  std::int64_t size = -1;  // -1: a first-format line, size unknown
};

// Shared by the job threads of one `get`; every member is thread-safe.
class DownloadArchive {
 public:
  // `dir` is the UTF-8 folder; reads its archive when there is one.
  explicit DownloadArchive(std::string dir);

  // Why the archive in the folder cannot be used (a symbolic link or a
  // folder in its place, a file that cannot be read); empty when it can.
  const std::string& problem() const { return problem_; }

  // The latest entry for `key` (a key or, for first-format lines, an
  // address), whether or not its file is still there.
  std::optional<ArchiveEntry> find(const std::string& key) const;
  // True when find(key) names a file still in the folder; `file_name` gets it.
  bool has(const std::string& key, std::string* file_name = nullptr) const;
  // Appends a line and flushes it to disk. False (and nothing kept) when the
  // archive cannot be written or a text would break the line format; `why`
  // then says which.
  bool add(const std::string& key, const std::string& file_name, std::int64_t size,
           std::string* why = nullptr);

  std::string path() const { return dir_ + "/" + kArchiveName; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::string problem_;
  mutable std::mutex mutex_;
  std::map<std::string, ArchiveEntry> entries_;
};

}  // namespace lumora::cli
