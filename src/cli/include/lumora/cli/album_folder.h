// The folder `get` and `sync` write an album into, checked before anything
// is fetched, so a folder that cannot take the files says why at once.
#pragma once

#include <string>

namespace lumora::cli {

// Makes the UTF-8 folder (and its parents) when missing and checks that a
// file can be created in it and that its archive can be used. Returns why
// not, with the system's reason ("cannot use folder /tmp/a: Not a
// directory", "... Permission denied"); empty when it can be used.
std::string folder_problem(const std::string& dir);

}  // namespace lumora::cli
