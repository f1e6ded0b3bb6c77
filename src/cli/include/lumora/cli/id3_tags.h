// ID3v2 tags for a downloaded track. The tag is made with TagLib, but the
// tagged file is written by us: a copy beside the track (the new tag, then
// the audio after any old tag), synced, then renamed over the track. So a
// track is either tagged whole or left exactly as it was downloaded.
#pragma once

#include <cstdint>
#include <string>

namespace lumora::cli {

// UTF-8 texts; empty ones are left out of the tag.
struct TrackTags {
  std::string title;
  unsigned track_number = 0;  // 1-based; 0: none
  std::string album;
  std::string artist;  // the album's uploader
};

// Tags the file at the UTF-8 `path`, keeping the frames of a tag it has.
// Returns why it could not (the system's reason, e.g. "No space left on
// device"); empty on success.
std::string write_id3_tags(const std::string& path, const TrackTags& tags);

// True when the file starts with an ID3v2 tag holding the fields of `tags`
// that are set: a tag the file came with from the server does not count.
bool carries_tags(const std::string& path, const TrackTags& tags);

}  // namespace lumora::cli
