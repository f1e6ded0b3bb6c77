// Where the program's folders are on this machine. Paths use "/".
#pragma once

#include "lumora/text/text.h"

namespace lumora {

// The directory holding the program file, without a trailing "/" (GBK).
Text program_directory();
// The user's home folder followed by "/" (GBK): the folder box's first text.
Text home_folder();
// `path` with a "/" appended unless it already ends with one.
Text with_trailing_slash(Text path);

}  // namespace lumora
