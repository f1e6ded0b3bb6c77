// Whether `get --skip-existing` already has a track in its folder.
#pragma once

#include <cstdint>
#include <string>

#include "lumora/cli/download_archive.h"
#include "lumora/text/text.h"

namespace lumora::cli {

// The size the server gives for `address` (a HEAD request, redirects
// followed), or -1 when it gives none.
std::int64_t server_file_size(const Text& address);

struct TrackOnDisk {
  std::string key;      // archive_key() of the track
  Text address;         // GBK, whole: first-format archive lines name it
  Text path;            // GBK: the folder + the name the title makes
  bool name_shared = false;  // another track of the album makes the same name
};

enum class Presence {
  kMissing,  // fetch it
  kDone,     // skip it
  kChanged,  // archived, but its file's size is no longer the archived one: fetch it again
};

struct ExistingTrack {
  Presence presence = Presence::kMissing;
  std::string file_name;           // UTF-8, when done or changed
  std::int64_t archived_size = -1;  // when changed
  std::int64_t found_size = -1;     // when changed
};

// In this order: the archive's entry for the key (done while its file has
// the archived size); a first-format line for the whole address (done while
// its file is there, and noted again under the key with its size); for a
// file from before the archive, a file at `path` of the server's size, done
// only when no other track of the album makes that name, and then archived.
ExistingTrack find_existing(DownloadArchive& archive, const TrackOnDisk& track);

// The size of the file `name` in the archive's folder, -1 when it is not there.
std::int64_t size_in_folder(const DownloadArchive& archive, const std::string& name);

}  // namespace lumora::cli
