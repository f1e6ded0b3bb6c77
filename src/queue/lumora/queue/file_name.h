// Turning a track title into a file path inside the chosen folder.
#pragma once

#include "lumora/text/text.h"

namespace lumora {

// The title with every byte that cannot stand in a file name or could leave
// the folder ("/", "\", ":", "*", "?", '"', "<", ">", "|", control bytes)
// replaced by "_"; GBK characters are kept whole. A name of only dots becomes
// underscores, so "." and ".." never name a directory.
Text safe_file_name(const Text& title);

// folder + "/" (unless it already ends with one) + safe title + ".mp3".
Text track_file_path(const Text& folder, const Text& title);

}  // namespace lumora
