// `search` and `tracks`: listings printed while their pages arrive, on
// standard output, as lines or as one JSON array; problems on standard
// error.
#pragma once

#include <string>

#include "lumora/catalogue/catalogue_entries.h"
#include "lumora/catalogue/endpoints.h"

namespace lumora::cli {

// No listing goes further than this many pages (200,000 tracks).
inline constexpr int kMaxListingPages = 10000;

struct ListingRequest {
  std::string argument;  // the keyword (UTF-8) or the album id
  bool json = false;
  PlatformEndpoints endpoints;
};

// Exit code: 0 the search was made (whether or not it found an album), 1
// some pages could not be read, 2 it could not be made (the reason said).
int run_search(const ListingRequest& request);
// Exit code: 0 every track listed, 1 the listing is not whole (pages that
// could not be read, or the page limit), 2 the album cannot be listed or has
// no tracks.
int run_tracks(const ListingRequest& request);

// The warning for a listing that is not whole, or empty when it is.
// `what`: "the listing of album 3700002", "the search"; `max_pages`: the
// page limit the walk had.
std::string incomplete_listing(const PageWalk& walk, const std::string& what,
                               int max_pages = kMaxListingPages);

// Why an album's listing brought no track: "album 7 cannot be listed:
// REASON" (its first answer, else its pages, could not be read) or "album 7
// has no tracks".
std::string empty_listing(const PageWalk& walk, const std::string& album_id);

}  // namespace lumora::cli
