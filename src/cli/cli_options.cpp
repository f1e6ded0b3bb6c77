#include "lumora/cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <limits>
#include <map>

#include "lumora/version.h"

namespace lumora::cli {
namespace {

bool all_digits(const std::string& s) {
  return !s.empty() && s.size() <= 18 &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

// An address the catalogue can put a path after: http(s)://host[:port],
// without a path, query or anything the request would carry along.
bool good_base(const std::string& s) {
  const std::size_t start = s.rfind("https://", 0) == 0 ? 8 : s.rfind("http://", 0) == 0 ? 7 : 0;
  if (start == 0 || s.size() == start) return false;
  return std::all_of(s.begin() + static_cast<long>(start), s.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
  });
}

Command command_named(const std::string& word) {
  if (word == "search") return Command::search;
  if (word == "tracks") return Command::tracks;
  if (word == "get") return Command::get;
  if (word == "follow") return Command::follow;
  if (word == "unfollow") return Command::unfollow;
  if (word == "following") return Command::following;
  if (word == "sync") return Command::sync;
  return Command::none;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParseResult run() {
    while (next_ < args_.size() && error_.empty()) {
      const std::string arg = args_[next_++];
      if (arg == "--help" || arg == "-h") {
        o_.help = true;
      } else if (arg == "-q") {
        flag("--quiet");
      } else if (arg == "--version") {
        o_.version = true;
      } else if (arg.rfind("--", 0) == 0) {
        option(arg);
      } else {
        positional(arg);
      }
    }
    if (error_.empty() && !o_.help && !o_.version) check_complete();
    return {o_, error_};
  }

 private:
  void option(const std::string& arg) {
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    std::optional<std::string> inline_value;
    if (eq != std::string::npos) inline_value = arg.substr(eq + 1);
    const bool global = name == "--search-base" || name == "--mobile-base" || name == "--demo";
    if (global && o_.command != Command::none) {
      fail(name + " goes before the command");
      return;
    }
    if (name == "--demo" || name == "--json" || name == "--skip-existing" || name == "--tag" ||
        name == "--playlist" || name == "--quiet" || name == "--notify") {
      if (inline_value) return fail(name + " takes no value");
      flag(name);
      return;
    }
    const std::string value = inline_value ? *inline_value : take_value(name);
    if (!error_.empty()) return;
    valued(name, value);
  }

  void flag(const std::string& name) {
    if (name == "--demo") {
      o_.demo = true;
    } else if (name == "--json") {
      need_command(name, {Command::search, Command::tracks, Command::following});
      o_.json = true;
    } else if (name == "--playlist") {
      need_command(name, {Command::get, Command::follow, Command::sync});
      o_.playlist = true;
    } else if (name == "--tag") {
      need_command(name, {Command::get, Command::follow});
      o_.tag = true;
    } else if (name == "--quiet") {
      need_command("-q/--quiet", {Command::get, Command::follow, Command::unfollow, Command::sync});
      o_.quiet = true;
    } else if (name == "--notify") {
      need_command(name, {Command::follow, Command::sync});
      o_.notify = true;
    } else {
      need_command(name, {Command::get});
      o_.skip_existing = true;
    }
  }

  void valued(const std::string& name, const std::string& value) {
    if (name == "--search-base" || name == "--mobile-base") {
      if (!good_base(value)) return fail(name + " wants http://host[:port] or https://host[:port]");
      (name == "--search-base" ? o_.search_base : o_.mobile_base) = value;
    } else if (name == "--dir") {
      need_command(name, {Command::get, Command::follow});
      if (value.empty()) return fail("--dir wants a folder");
      o_.dir = value;
    } else if (name == "--tracks") {
      need_command(name, {Command::get});
      o_.tracks = value;
    } else if (name == "--jobs") {
      need_command(name, {Command::get, Command::sync});
      int n = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > kMaxJobs)
        return fail("--jobs wants a number from 1 to " + std::to_string(kMaxJobs));
      o_.jobs = n;
    } else if (name == "--stall") {
      need_command(name, {Command::get});
      int n = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      if (ec != std::errc() || end != value.data() + value.size() || n < 1 ||
          n > kMaxStallSeconds)
        return fail("--stall wants seconds from 1 to " + std::to_string(kMaxStallSeconds));
      o_.stall_seconds = n;
    } else if (name == "--limit-rate") {
      need_command(name, {Command::get, Command::follow, Command::sync});
      const auto rate = parse_rate(value);
      if (!rate) return fail("--limit-rate wants bytes per second, e.g. 500K or 2M");
      o_.limit_rate = *rate;
    } else if (name == "--exec") {
      need_command(name, {Command::get, Command::follow, Command::sync});
      if (value.empty()) return fail("--exec wants a program");
      o_.exec = value;
    } else {
      fail("unknown option " + name);
    }
  }

  std::string take_value(const std::string& name) {
    if (next_ >= args_.size()) {
      fail(name + " wants a value");
      return {};
    }
    return args_[next_++];
  }

  void positional(const std::string& arg) {
    if (o_.command == Command::none) {
      o_.command = command_named(arg);
      if (o_.command == Command::none) fail("unknown command " + arg);
    } else if (!have_argument_) {
      o_.argument = arg;
      have_argument_ = true;
    } else {
      fail("unexpected argument " + arg);
    }
  }

  void need_command(const std::string& name, std::initializer_list<Command> commands) {
    if (std::find(commands.begin(), commands.end(), o_.command) == commands.end())
      fail(name + " does not belong to this command");
  }

  void check_complete() {
    if (o_.command == Command::none) return fail("no command given");
    const bool no_argument = o_.command == Command::following || o_.command == Command::sync;
    if (no_argument) {
      if (have_argument_) fail("unexpected argument " + o_.argument);
      return;
    }
    if (!have_argument_)
      return fail(o_.command == Command::search ? "search wants a KEYWORD" : "wants an ALBUM_ID");
    if (o_.command != Command::search && !all_digits(o_.argument))
      return fail("ALBUM_ID is a number: " + o_.argument);
    if (o_.command == Command::get && o_.dir.empty()) fail("get wants --dir DIR");
    if (o_.command == Command::follow && o_.dir.empty()) fail("follow wants --dir DIR");
  }

  void fail(const std::string& message) {
    if (error_.empty()) error_ = message;
  }

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  CliOptions o_;
  bool have_argument_ = false;
  std::string error_;
};

}  // namespace

ParseResult parse_command_line(const std::vector<std::string>& args) { return Parser(args).run(); }

std::optional<std::int64_t> parse_rate(const std::string& text) {
  std::int64_t unit = 1;
  std::string digits = text;
  if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'k')) unit = 1024;
  if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) unit = 1024 * 1024;
  if (unit > 1) digits.pop_back();
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || n < 1 ||
      n > std::numeric_limits<int>::max() / unit)
    return std::nullopt;
  return n * unit;
}

std::string rate_text(std::int64_t rate) {
  if (rate % (1024 * 1024) == 0) return std::to_string(rate / (1024 * 1024)) + "M";
  if (rate % 1024 == 0) return std::to_string(rate / 1024) + "K";
  return std::to_string(rate);
}

std::string version_text() { return std::string("lumorafm-cli ") + kVersion + "\n"; }

std::string usage_text() {
  return "Usage: lumorafm-cli [--search-base URL] [--mobile-base URL] [--demo] COMMAND ...\n"
         "\n"
         "Commands:\n"
         "  search KEYWORD [--json]   every album found, one a line: id, title, category,\n"
         "                            uploader (tab-separated)\n"
         "  tracks ALBUM_ID [--json]  every track: number, title, address\n"
         "  get ALBUM_ID --dir DIR [--tracks 1-5,9] [--skip-existing] [--tag] [--jobs N]\n"
         "      [--stall SECONDS] [--playlist] [--limit-rate RATE] [--exec CMD] [-q]\n"
         "                            downloads the tracks into DIR as title + \".mp3\"\n"
         "  follow ALBUM_ID --dir DIR [--tag] [--playlist] [--notify] [--limit-rate RATE]\n"
         "      [--exec CMD] [-q]     keeps the album in DIR: sync fetches its new tracks\n"
         "  unfollow ALBUM_ID [-q]    stops following the album (its files stay)\n"
         "  following [--json]        the followed albums: id, folder, options, last sync,\n"
         "                            its result, tracks held (tab-separated)\n"
         "  sync [--jobs N] [--playlist] [--notify] [--limit-rate RATE] [--exec CMD] [-q]\n"
         "                            fetches what is missing of every followed album,\n"
         "                            as get --skip-existing does; one line per album\n"
         "\n"
         "Options before the command:\n"
         "  --search-base URL   album search host (default https://www.lumorafm.com)\n"
         "  --mobile-base URL   track listing host (default http://mobile.lumorafm.com)\n"
         "  --demo              run against the simulator started in this process\n"
         "  --help, --version\n"
         "\n"
         "get, follow and sync:\n"
         "  --tracks LIST       track numbers and ranges, 1-based, e.g. 1-5,9 (get; all)\n"
         "  --skip-existing     skip tracks already downloaded into DIR (get)\n"
         "  --tag               write ID3v2 tags: title, track number, album, uploader\n"
         "  --jobs N            up to N tracks at once (1 to 16, default 1)\n"
         "  --stall SECONDS     give a track up when less than 1 KiB of it is stored in\n"
         "                      that long (get; default 120); its work is kept\n"
         "  --playlist          keep ALBUM.m3u8 in DIR: the tracks held, in album order\n"
         "  --limit-rate RATE   bytes per second for all running tracks together,\n"
         "                      e.g. 500K or 2M (K and M are 1024 and 1024 * 1024)\n"
         "  --exec CMD          run the program CMD with each new file's path, no shell\n"
         "  --notify            a desktop notification when new tracks arrive\n"
         "                      (follow, sync)\n"
         "  -q, --quiet         only problems and the summary\n"
         "\n"
         "The followed albums live in $XDG_CONFIG_HOME/lumorafm/following.json\n"
         "(default ~/.config). A sync while another runs says so and exits 0.\n"
         "\n"
         "Exit status: 0 every chosen track done or skipped, 1 some failed (for sync:\n"
         "some track or album) or standard output could not be written, 2 usage error,\n"
         "a folder that cannot be used or an album that cannot be listed, 128 + N\n"
         "after signal N ends the run (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP).\n";
}

}  // namespace lumora::cli
