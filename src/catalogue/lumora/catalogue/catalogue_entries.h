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
  int pages_read = 0;  // pages that brought rows
  // A page within the count brought no rows: the walk stopped there, since
  // a count past the real end would otherwise keep it asking for ever.
  bool ended_early = false;
};

// Called once per page that brings rows, on the walking thread, in page
// order, with that page's rows in the platform's order.
using AlbumPageSink = std::function<void(const std::vector<AlbumEntry>&)>;
using TrackPageSink = std::function<void(const std::vector<TrackEntry>&)>;

}  // namespace lumora
