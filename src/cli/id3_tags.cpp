#include "lumora/cli/id3_tags.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace lumora::cli {
namespace {

TagLib::String utf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

}  // namespace

bool write_id3_tags(const std::string& path, const TrackTags& tags) {
  TagLib::MPEG::File file(path.c_str(), false);
  if (!file.isOpen() || !file.isValid() || file.readOnly()) return false;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  if (!tags.title.empty()) tag->setTitle(utf8(tags.title));
  if (tags.track_number > 0) tag->setTrack(tags.track_number);
  if (!tags.album.empty()) tag->setAlbum(utf8(tags.album));
  if (!tags.artist.empty()) tag->setArtist(utf8(tags.artist));
  return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone);
}

}  // namespace lumora::cli
