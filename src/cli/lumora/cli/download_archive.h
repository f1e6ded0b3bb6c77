// The archive `get` keeps in its folder: one line per completed track, its
// address and its file name, so a later `get --skip-existing` knows what it
// has even after tags have changed the files' sizes.
//
// File format: UTF-8 lines "address\tfile name\n"; a line is appended only
// after its file is complete. Lines that do not have that shape are ignored.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lumora::cli {

inline constexpr const char* kArchiveName = ".lumorafm-archive";

// Shared by the job threads of one `get`; every member is thread-safe.
class DownloadArchive {
 public:
  // `dir` is the UTF-8 folder; reads its archive when there is one.
  explicit DownloadArchive(std::string dir);

  // True when the archive lists `address` with a file that is still in the
  // folder; `file_name` gets that file's name.
  bool has(const std::string& address, std::string* file_name = nullptr) const;
  // Appends a line and flushes it to disk. False (and nothing kept) when the
  // archive cannot be written or a text would break the line format.
  bool add(const std::string& address, const std::string& file_name);

  std::string path() const { return dir_ + "/" + kArchiveName; }

 private:
  std::string dir_;
  mutable std::mutex mutex_;
  std::multimap<std::string, std::string> entries_;  // address -> file name
};

}  // namespace lumora::cli
