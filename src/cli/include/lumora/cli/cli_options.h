// The command line of lumorafm-cli, read by hand: options that apply to
// every command first, then the command and its own arguments.
#pragma once

#include <cstdint>
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
  bool quiet = false;    // get, follow, unfollow, sync

  // get, follow and sync (--jobs, --playlist)
  std::string dir;
  std::optional<std::string> tracks;  // e.g. "1-5,9"; all when absent
  bool skip_existing = false;
  bool tag = false;
  bool playlist = false;
  int jobs = 1;
  int stall_seconds = 120;
  std::int64_t limit_rate = 0;  // bytes per second over the album's running tracks; 0: none
  std::string exec;             // a program run with each new file's path
  bool notify = false;          // follow, sync: a desktop notification for new tracks
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

// "500K" (KiB), "2M" (MiB) or plain bytes, per second: at least 1 and at
// most 2 GiB - 1. Nothing for anything else.
std::optional<std::int64_t> parse_rate(const std::string& text);
// A rate as parse_rate reads it back: "500K", "2M", "1000".
std::string rate_text(std::int64_t bytes_per_second);

// The --help text.
std::string usage_text();
// The --version text: the program's name and the project's version.
std::string version_text();

}  // namespace lumora::cli
