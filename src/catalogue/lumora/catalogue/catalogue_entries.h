// What the catalogue reads from the platform, as data. Texts are GBK, as
// the JSON document gives them: numbers in decimal, a missing member empty.
#pragma once

#include <functional>
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
  int stopped_at = 0;  // the page it stopped at, when ended early
};

// Called once per page that brings rows, on the walking thread, in page
// order, with that page's rows in the platform's order.
using AlbumPageSink = std::function<void(const std::vector<AlbumEntry>&)>;
using TrackPageSink = std::function<void(const std::vector<TrackEntry>&)>;

}  // namespace lumora
