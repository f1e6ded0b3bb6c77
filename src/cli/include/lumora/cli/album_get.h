// `get`: an album's chosen tracks into a folder, up to N at once, each
// through a Download object of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lumora/catalogue/catalogue_entries.h"
#include "lumora/catalogue/endpoints.h"
#include "lumora/cli/listing_commands.h"
#include "lumora/cli/progress_view.h"

namespace lumora::cli {

// What became of each track of the album, for callers that keep a
// playlist or count what the folder holds.
struct TrackReport {
  enum class State { not_chosen, done, skipped, failed, stopped };
  State state = State::not_chosen;
  std::string file_name;  // UTF-8, in the folder; set for done and skipped
};

struct GetReport {
  std::vector<TrackEntry> tracks;     // the whole listing, in the album's order
  std::vector<TrackReport> outcomes;  // one per track; empty when not listed
  bool listing_whole = true;          // false: pages failed or the page limit was met
  int exec_failures = 0;              // runs of the --exec program that failed
};

struct GetRequest {
  std::string album_id;
  std::string dir;  // UTF-8, as given
  std::optional<std::string> tracks;
  bool skip_existing = false;
  bool tag = false;
  int jobs = 1;
  int stall_seconds = 120;      // a track storing less than 1 KiB in that long fails
  std::int64_t limit_rate = 0;  // bytes per second shared by the running tracks; 0: none
  std::string exec;             // run with each new file's path; empty: none
  PlatformEndpoints endpoints;
  int max_listing_pages = kMaxListingPages;  // the listing stops after that many pages
  GetReport* report = nullptr;  // filled when given
};

// Checks the folder (created when missing, writable, its archive usable),
// lists the album, fetches the chosen tracks in the album's order and
// prints a summary. Returns the exit code: 0 every chosen track done or
// skipped, 1 some failed (or the listing was not whole, or a file hook
// failed), 2 a bad track list, a folder that cannot be used or an album
// that cannot be listed, interrupted_exit_code() when interrupted. Runs on
// the caller's thread and its own job threads; the interrupt handler must
// be installed.
int run_get(const GetRequest& request, ProgressView& view);

}  // namespace lumora::cli
