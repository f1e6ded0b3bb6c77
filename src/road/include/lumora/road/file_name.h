// Turning a track title into a file path inside the chosen folder.
#pragma once

#include "lumora/text/text.h"

namespace lumora {

// The title with every byte that cannot stand in a file name or could leave
// the folder ("/", "\", ":", "*", "?", '"', "<", ">", "|", control bytes, DEL)
// replaced by "_". A GBK pair (lead 0x81..0xFE, trail 0x40..0x7E or
// 0x80..0xFE) is kept whole; any other byte is judged alone, and 0x80 (the
// euro sign) is kept. A name of only dots becomes underscores, so "." and
// ".." never name a directory. A long title is cut at a character boundary
// so that its UTF-8 form leaves room, within the 255-byte name limit, for
// "(99)", ".mp3" and the engine's longest side-file suffix.
Text safe_file_name(const Text& title);

// folder + "/" (unless it already ends with one) + safe title + ".mp3".
Text track_file_path(const Text& folder, const Text& title);

}  // namespace lumora
