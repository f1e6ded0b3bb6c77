// The download folder used when the user names none.
#pragma once

#include "lumora/text/text.h"

namespace lumora {

// The folder a cancelled folder choice gives, and the one an empty folder
// box stands for: `program_dir` + "/LumoraFM/" where the program's folder is
// writable by this user, otherwise the user's music folder (the home folder
// when the system names none) + "/LumoraFM/". Created, parents included, when
// missing; a failure to create it is not reported. GBK, ends with "/".
Text default_download_folder(const Text& program_dir);

// The user's music folder, or the home folder when there is none; with a
// trailing "/" (GBK). UI thread (reads Qt's standard locations).
Text music_folder();

}  // namespace lumora
