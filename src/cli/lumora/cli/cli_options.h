// The command line of lumorafm-cli, read by hand: options that apply to
// every command first, then the command and its own arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

enum class Command { none, search, tracks, get, follow, unfollow, following, sync };

struct CliOptions {
  // Every command.
  std::optional<std::string> search_base;  // scheme and host, e.g. "https://127.0.0.1:4431"
  std::optional<std::string> mobile_base;
  bool demo = false;
  bool help = false;
  bool version = false;

  Command command = Command::none;
  std::string argument;  // the keyword (UTF-8) or the album id
  bool json = false;     // search, tracks, following

  // get, follow and sync (--jobs, --playlist)
  std::string dir;
  std::optional<std::string> tracks;  // e.g. "1-5,9"; all when absent
  bool skip_existing = false;
  bool tag = false;
  bool playlist = false;
  int jobs = 1;
  int stall_seconds = 120;
};

inline constexpr int kMaxStallSeconds = 86400;

inline constexpr int kMaxJobs = 16;

struct ParseResult {
  CliOptions options;
  std::string error;  // empty when the command line is good
};

// `args` without the program name. Checks the shape of every argument (an
// album id of digits only, a positive job count, a base with its scheme)
// but not the track list, which needs the album's length.
ParseResult parse_command_line(const std::vector<std::string>& args);

// The --help text.
std::string usage_text();

}  // namespace lumora::cli
