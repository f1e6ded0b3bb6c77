// The window program's only arguments, --version and --help: answered on
// standard output without a display, before any window exists. Any other
// command line is left to the window, which reads none.
#pragma once

#include <optional>

namespace lumora {

// The exit code when the command line asked for an answer (0, or 1 when it
// could not be written), nothing when the window is to start.
std::optional<int> answer_command_line(int argc, char** argv);

}  // namespace lumora
