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
// [{"id":..,"title":..,"category":..,"uploader":..}]; the id is a number
// when it is a plain decimal integer, else a string.
std::string album_json(const std::vector<AlbumEntry>& albums);

// "number\ttitle\taddress\n" per track, numbered from 1 in the album's order.
std::string track_lines(const std::vector<TrackEntry>& tracks);
// [{"number":..,"title":..,"address":..}]
std::string track_json(const std::vector<TrackEntry>& tracks);

// GBK to UTF-8 for the terminal and for file names shown.
std::string shown(const Text& gbk_text);

// UTF-8 text safe on a terminal: control characters (C0, DEL, and C1 as
// UTF-8's C2 80 to C2 9F) become visible escapes such as "\x1b".
std::string visible(std::string_view utf8_text);

}  // namespace lumora::cli
