// `sync`: every followed album listed and what is missing fetched, through
// run_get with skip_existing, one album after the other; one summary line
// per album on standard output, reasons on standard error. Holds the sync
// lock for the whole run; the results go back into following.json at the
// end (also after Ctrl+C, SIGTERM or SIGHUP). The interrupt handler must be
// installed.
#pragma once

#include <cstdint>
#include <string>

#include "lumora/catalogue/endpoints.h"

namespace lumora::cli {

// Options given to sync apply to every album, whatever it was followed with.
struct SyncRequest {
  int jobs = 1;           // tracks at once within an album
  bool playlist = false;  // a playlist for every album
  bool notify = false;    // a desktop notification for every album that gains tracks
  std::int64_t limit_rate = 0;  // in place of each album's own limit; 0: the album's
  std::string exec;             // in place of each album's own; empty: the album's
  bool quiet = false;           // problems and the albums' lines only
  PlatformEndpoints endpoints;
};

// Exit code: 0 every album whole (or another sync holds the lock, or none
// is followed), 1 some track or album failed or the followed set cannot be
// read or written, interrupted_exit_code() when interrupted.
int run_sync(const SyncRequest& request);

}  // namespace lumora::cli
