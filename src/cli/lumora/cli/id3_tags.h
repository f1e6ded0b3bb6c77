// ID3v2 tags for a downloaded track, written with TagLib.
#pragma once

#include <string>

namespace lumora::cli {

// UTF-8 texts; empty ones are left out of the tag.
struct TrackTags {
  std::string title;
  unsigned track_number = 0;  // 1-based; 0: none
  std::string album;
  std::string artist;  // the album's uploader
};

// Writes an ID3v2 tag (and only that) into the file at the UTF-8 `path`.
// False when the file cannot be read or written.
bool write_id3_tags(const std::string& path, const TrackTags& tags);

}  // namespace lumora::cli
