// What the catalogue reads from the platform, as data. Texts are GBK, as
// the JSON document gives them: numbers in decimal, a missing member empty.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lumora/text/text.h"

namespace lumora {

struct AlbumEntry {
  Text id;
  Text title;
  Text category;  // category_title
  Text nickname;  // the uploader
};

struct TrackEntry {
  Text title;
  Text address;  // playUrl64; empty when the listing has none
  // Given only by platforms whose listing names them; empty otherwise.
  Text album_title;
  Text nickname;
  Text track_id;  // trackId; empty when the listing has none
};

// How a walk over the result pages went.
struct PageWalk {
  int page_count = 0;  // from the first answer; 0 when missing or not numeric
  int pages_read = 0;    // pages that brought rows
  int pages_failed = 0;  // pages that failed (no answer, not JSON) and were passed over
  // The walk stopped before the count: three failed pages in a row, a page
  // without rows, or a page repeating the one before (see walk_pages).
  bool ended_early = false;
  // The walk stopped at the caller's bounds with pages left: at its page
  // limit, or because the caller asked it to stop.
  bool page_limit = false;
  bool stopped = false;
  int stopped_at = 0;  // the page it stopped at, when it ended early or at the bounds
  // Why the first answer could not be read ("connection refused", "HTTP 404",
  // "the answer is not JSON"); empty when it could. UTF-8.
  std::string first_problem;
  std::string page_problem;  // the same for the last page that failed
};

// What a caller lets a walk do. Asked before every request.
struct WalkBounds {
  int max_pages = 0;           // 0: as many as the count says
  std::function<bool()> stop;  // true: ask for nothing more
};

// Called on the walking thread with the rows of the pages that bring rows,
// in page order and the platform's order: at least once per such page, and
// in parts of at most kRowsPerDelivery rows, so a page of any length never
// stands in memory as entries all at once.
inline constexpr std::size_t kRowsPerDelivery = 1000;
using AlbumPageSink = std::function<void(const std::vector<AlbumEntry>&)>;
using TrackPageSink = std::function<void(const std::vector<TrackEntry>&)>;

}  // namespace lumora
