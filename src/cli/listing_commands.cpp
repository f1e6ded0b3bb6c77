#include "lumora/cli/listing_commands.h"

#include <cstdio>

#include "lumora/catalogue/album_search.h"
#include "lumora/catalogue/track_listing.h"
#include "lumora/cli/listing_output.h"
#include "lumora/cli/standard_output.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

// Listings stop at the page limit, and at once when nobody reads them.
WalkBounds listing_bounds() { return {kMaxListingPages, [] { return output_failed(); }}; }

}  // namespace

std::string incomplete_listing(const PageWalk& walk, const std::string& what, int max_pages) {
  if (walk.page_limit)
    return what + " stopped at " + thousands(max_pages) + " pages; the platform counts " +
           thousands(walk.page_count);
  if (walk.ended_early)
    return what + " ended at page " + std::to_string(walk.stopped_at) + " of " +
           std::to_string(walk.page_count);
  if (walk.pages_failed > 0)
    return what + ": " + std::to_string(walk.pages_failed) + " of " +
           std::to_string(walk.page_count) + " pages could not be read (" + walk.page_problem + ")";
  return {};
}

std::string empty_listing(const PageWalk& walk, const std::string& album_id) {
  if (!walk.first_problem.empty()) return "album " + album_id + " cannot be listed: " + walk.first_problem;
  if (walk.pages_failed > 0) return "album " + album_id + " cannot be listed: " + walk.page_problem;
  return "album " + album_id + " has no tracks";
}

int run_search(const ListingRequest& request) {
  Text keyword = utf8_to_gbk(request.argument);
  if (gbk_to_utf8(keyword) != request.argument) {
    print_problem("the keyword has characters GBK lacks");
    return 2;
  }
  JsonArrayOutput json;
  std::size_t found = 0;
  RequestComponent connection;
  const PageWalk walk = search_album_pages(
      keyword, request.endpoints,
      [&](const std::vector<AlbumEntry>& albums) {
        found += albums.size();
        print_out(request.json ? json.albums(albums) : album_lines(albums));
      },
      &connection, listing_bounds());
  if (output_failed()) return 1;
  if (!walk.first_problem.empty()) {
    print_problem("cannot search: " + walk.first_problem);
    return 2;
  }
  if (request.json) print_out(json.close());
  if (found == 0 && walk.pages_failed == 0)
    print_problem("no albums found for '" + request.argument + "'");
  const std::string warning = incomplete_listing(walk, "the search");
  if (!warning.empty()) print_problem(warning);
  return warning.empty() ? 0 : 1;
}

int run_tracks(const ListingRequest& request) {
  JsonArrayOutput json;
  std::size_t listed = 0;
  RequestComponent connection;
  const PageWalk walk = list_album_track_pages(
      request.argument, request.endpoints,
      [&](const std::vector<TrackEntry>& tracks) {
        print_out(request.json ? json.tracks(tracks) : track_lines(tracks, listed + 1));
        listed += tracks.size();
      },
      &connection, listing_bounds());
  if (output_failed()) return 1;
  if (listed == 0) {
    print_problem(empty_listing(walk, request.argument));
    return 2;
  }
  if (request.json) print_out(json.close());
  const std::string warning = incomplete_listing(walk, "the listing of album " + request.argument);
  if (!warning.empty()) print_problem(warning);
  return warning.empty() ? 0 : 1;
}

}  // namespace lumora::cli
