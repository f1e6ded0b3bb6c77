// lumorafm-cli: the album road without a window, for scripts and servers.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lumora/cli/album_get.h"
#include "lumora/cli/album_playlist.h"
#include "lumora/cli/album_sync.h"
#include "lumora/cli/cli_options.h"
#include "lumora/cli/follow_commands.h"
#include "lumora/cli/interrupt.h"
#include "lumora/cli/listing_commands.h"
#include "lumora/cli/standard_output.h"
#include "lumora/sim/simulator.h"

namespace lumora::cli {
namespace {

int usage_error(const std::string& text) {
  std::fprintf(stderr, "lumorafm-cli: %s\nTry 'lumorafm-cli --help'.\n", text.c_str());
  return 2;
}

int get(const CliOptions& o, const PlatformEndpoints& endpoints) {
  install_interrupt_handler();
  ProgressView view(stdout, stderr, display_for_stdout(o.quiet));
  GetReport report;
  const int code = run_get({.album_id = o.argument,
                            .dir = o.dir,
                            .tracks = o.tracks,
                            .skip_existing = o.skip_existing,
                            .tag = o.tag,
                            .jobs = o.jobs,
                            .stall_seconds = o.stall_seconds,
                            .limit_rate = o.limit_rate,
                            .exec = o.exec,
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

int follow(const CliOptions& o, const PlatformEndpoints& endpoints) {
  return run_follow({.album_id = o.argument,
                     .dir = o.dir,
                     .tag = o.tag,
                     .playlist = o.playlist,
                     .notify = o.notify,
                     .limit_rate = o.limit_rate,
                     .exec = o.exec,
                     .quiet = o.quiet,
                     .endpoints = endpoints});
}

int sync(const CliOptions& o, const PlatformEndpoints& endpoints) {
  install_interrupt_handler();
  return run_sync({.jobs = o.jobs,
                   .playlist = o.playlist,
                   .notify = o.notify,
                   .limit_rate = o.limit_rate,
                   .exec = o.exec,
                   .quiet = o.quiet,
                   .endpoints = endpoints});
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
      return run_search({o.argument, o.json, endpoints});
    case Command::tracks:
      return run_tracks({o.argument, o.json, endpoints});
    case Command::get:
      return get(o, endpoints);
    case Command::follow:
      return follow(o, endpoints);
    case Command::unfollow:
      return run_unfollow(o.argument, o.quiet);
    case Command::following:
      return run_following(o.json);
    case Command::sync:
      return sync(o, endpoints);
    case Command::none:
      break;
  }
  return 2;
}

int run_command_line(const std::vector<std::string>& args) {
  const ParseResult parsed = parse_command_line(args);
  if (parsed.options.help) {
    print_out(usage_text());
    return 0;
  }
  if (parsed.options.version) {
    print_out(version_text());
    return 0;
  }
  if (!parsed.error.empty()) return usage_error(parsed.error);
  return run(parsed.options);
}

}  // namespace
}  // namespace lumora::cli

int main(int argc, char** argv) {
  using namespace lumora::cli;
  guard_standard_streams();
  return finish_output(run_command_line(std::vector<std::string>(argv + 1, argv + argc)));
}
