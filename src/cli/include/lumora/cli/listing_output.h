// What `search` and `tracks` print: one line per entry, tab-separated, or
// one JSON array. Texts arrive as GBK and leave as UTF-8.
#pragma once

#include <string>
#include <vector>

#include "lumora/catalogue/catalogue_entries.h"

namespace lumora::cli {

// "id\ttitle\tcategory\tuploader\n" per album. Tabs and line breaks inside
// a text become spaces, so every album stays one line of four fields.
std::string album_lines(const std::vector<AlbumEntry>& albums);
// [{"id":..,"title":..,"category":..,"uploader":..}]; the id a string, as
// in every JSON the program writes.
std::string album_json(const std::vector<AlbumEntry>& albums);

// "number\ttitle\taddress\n" per track, numbered from `first` in the album's
// order.
std::string track_lines(const std::vector<TrackEntry>& tracks, std::size_t first = 1);
// [{"number":..,"title":..,"address":..}]
std::string track_json(const std::vector<TrackEntry>& tracks);

// A JSON array printed while its items arrive: together the parts are the
// text album_json or track_json gives for all the items at once.
class JsonArrayOutput {
 public:
  std::string albums(const std::vector<AlbumEntry>& albums);
  // Numbered on from the tracks of earlier calls.
  std::string tracks(const std::vector<TrackEntry>& tracks);
  // The end of the array ("[]" when no item came).
  std::string close();

 private:
  std::string item(const std::string& dumped);
  std::size_t items_ = 0;
};

// "1,390": a whole number with thousands separators.
std::string thousands(long long n);

// GBK to UTF-8 for the terminal and for file names shown.
std::string shown(const Text& gbk_text);

// UTF-8 text safe on a terminal: control characters (C0, DEL, and C1 as
// UTF-8's C2 80 to C2 9F) become visible escapes such as "\x1b".
std::string visible(std::string_view utf8_text);

}  // namespace lumora::cli
