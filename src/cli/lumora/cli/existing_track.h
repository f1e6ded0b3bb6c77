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

// True when the archive lists the address with a file still in the folder,
// or, for a file from before the archive, when the file at `gbk_path` has
// the server's size; such a file is then added to the archive. `file_name`
// gets the UTF-8 name of the file that holds the track.
bool already_downloaded(DownloadArchive& archive, const Text& address, const Text& gbk_path,
                        std::string* file_name = nullptr);

}  // namespace lumora::cli
