// lumorafm-cli: the album road without a window, for scripts and servers.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lumora/catalogue/album_search.h"
#include "lumora/catalogue/track_listing.h"
#include "lumora/cli/album_get.h"
#include "lumora/cli/album_playlist.h"
#include "lumora/cli/album_sync.h"
#include "lumora/cli/cli_options.h"
#include "lumora/cli/follow_commands.h"
#include "lumora/cli/interrupt.h"
#include "lumora/cli/listing_output.h"
#include "lumora/sim/simulator.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

constexpr const char* kVersion = "lumorafm-cli 1.0\n";

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void complain(const std::string& text) {
  std::fprintf(stderr, "lumorafm-cli: %s\n", text.c_str());
}

int usage_error(const std::string& text) {
  complain(text);
  std::fprintf(stderr, "Try 'lumorafm-cli --help'.\n");
  return 2;
}

// True (after a warning) when the listing is not whole.
bool warn_incomplete(const PageWalk& walk) {
  if (walk.ended_early)
    complain("the platform's answers ended at page " + std::to_string(walk.stopped_at) + " of " +
             std::to_string(walk.page_count));
  else if (walk.pages_failed > 0)
    complain(std::to_string(walk.pages_failed) + " of " + std::to_string(walk.page_count) +
             " pages could not be read");
  return walk.ended_early || walk.pages_failed > 0;
}

int search(const CliOptions& o, const PlatformEndpoints& endpoints) {
  Text keyword = utf8_to_gbk(o.argument);
  if (gbk_to_utf8(keyword) != o.argument)
    return usage_error("the keyword has characters GBK lacks");
  std::vector<AlbumEntry> albums;
  RequestComponent connection;
  const PageWalk walk = search_album_pages(
      keyword, endpoints,
      [&](const auto& page) {
        if (o.json)
          albums.insert(albums.end(), page.begin(), page.end());
        else
          print(album_lines(page));
      },
      &connection);
  if (o.json) print(album_json(albums));
  return warn_incomplete(walk) ? 1 : 0;
}

int tracks(const CliOptions& o, const PlatformEndpoints& endpoints) {
  std::vector<TrackEntry> tracks;
  RequestComponent connection;
  const PageWalk walk = list_album_track_pages(
      o.argument, endpoints,
      [&](const auto& page) { tracks.insert(tracks.end(), page.begin(), page.end()); },
      &connection);
  if (tracks.empty()) {
    complain("album " + o.argument + " cannot be listed or has no tracks");
    return 2;
  }
  print(o.json ? track_json(tracks) : track_lines(tracks));
  return warn_incomplete(walk) ? 1 : 0;
}

int get(const CliOptions& o, const PlatformEndpoints& endpoints) {
  install_interrupt_handler();
  ProgressView view(stdout, stderr, isatty(STDOUT_FILENO) == 1);
  GetReport report;
  const int code = run_get({.album_id = o.argument,
                            .dir = o.dir,
                            .tracks = o.tracks,
                            .skip_existing = o.skip_existing,
                            .tag = o.tag,
                            .jobs = o.jobs,
                            .stall_seconds = o.stall_seconds,
                            .endpoints = endpoints,
                            .report = o.playlist ? &report : nullptr},
                           view);
  if (!o.playlist) return code;
  if (const std::string problem = keep_album_playlist(o.dir, o.argument, report); !problem.empty()) {
    view.problem("cannot write the playlist: " + problem);
    return code == 0 ? 1 : code;
  }
  return code;
}

int sync(const CliOptions& o, const PlatformEndpoints& endpoints) {
  install_interrupt_handler();
  return run_sync({.jobs = o.jobs, .playlist = o.playlist, .endpoints = endpoints});
}

int run(const CliOptions& o) {
  PlatformEndpoints endpoints;
  std::unique_ptr<sim::Simulator> simulator;
  if (o.demo) {
    simulator = std::make_unique<sim::Simulator>();
    endpoints = {simulator->search_base(), simulator->mobile_base()};
    std::fprintf(stderr, "simulator: search %s, mobile %s, audio %s\n",
                 simulator->search_base().c_str(), simulator->mobile_base().c_str(),
                 simulator->audio_base().c_str());
  }
  if (o.search_base) endpoints.search_base = *o.search_base;
  if (o.mobile_base) endpoints.mobile_base = *o.mobile_base;
  switch (o.command) {
    case Command::search:
      return search(o, endpoints);
    case Command::tracks:
      return tracks(o, endpoints);
    case Command::get:
      return get(o, endpoints);
    case Command::follow:
      return run_follow({.album_id = o.argument, .dir = o.dir, .tag = o.tag, .playlist = o.playlist});
    case Command::unfollow:
      return run_unfollow(o.argument);
    case Command::following:
      return run_following(o.json);
    case Command::sync:
      return sync(o, endpoints);
    case Command::none:
      break;
  }
  return 2;
}

}  // namespace
}  // namespace lumora::cli

int main(int argc, char** argv) {
  using namespace lumora::cli;
  const ParseResult parsed = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.options.help) {
    print(usage_text());
    return 0;
  }
  if (parsed.options.version) {
    print(kVersion);
    return 0;
  }
  if (!parsed.error.empty()) return usage_error(parsed.error);
  return run(parsed.options);
}
