// following.json on disk. Every change is a read, modify and atomic
// replace under an exclusive lock on a lock file beside it, so `follow`
// while a `sync` runs loses nothing. A file that is there but cannot be
// read is never written over: the user's data stays as it was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lumora/cli/followed_albums.h"

namespace lumora::cli {

class FollowingFile {
 public:
  // `folder`: the config folder (config_folder.h), UTF-8.
  explicit FollowingFile(std::string folder);

  std::string path() const { return folder_ + "/" + kFollowingFileName; }

  // The albums; a missing file is no album. False with `error` set
  // ("cannot read PATH: why") when the file cannot be used.
  bool read(std::vector<FollowedAlbum>& albums, std::string& error) const;
  // Reads, lets `change` edit the albums, and writes them back when it
  // returns true; all under the lock. False with `error` set when the file
  // cannot be read or written (nothing is written then).
  using Change = std::function<bool(std::vector<FollowedAlbum>&)>;
  bool update(const Change& change, std::string& error) const;

 private:
  std::string folder_;
};

}  // namespace lumora::cli
