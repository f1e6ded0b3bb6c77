// The album track listing: every track page of one album, as data or into
// the Track list.
#pragma once

#include "lumora/catalogue/catalogue_entries.h"
#include "lumora/catalogue/endpoints.h"
#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

// The window workers' way to the lists (lumora/controls/controls.h); a
// caller of the page walks alone needs none of it.
class Controls;

// Asks for every track page of the album and hands each page's tracks to
// `sink` as they arrive. The album id goes in as it stands. Runs on the
// caller's thread; no pauses. `connection` and `bounds` as for
// search_album_pages.
PageWalk list_album_track_pages(const Text& album_id, const PlatformEndpoints& endpoints,
                                const TrackPageSink& sink,
                                RequestComponent* connection = nullptr,
                                const WalkBounds& bounds = {});

// Appends one unchecked row per track (title in column 1, audio address in
// the hidden column 2), pausing 1 ms after each row so the list visibly
// grows. The Track list is never cleared here: a second album's rows go
// below the first one's. Runs on a listing worker thread.
void list_album_tracks(const Text& album_id, Controls& controls,
                       const PlatformEndpoints& endpoints);

// The listing worker's routine: the Album list's selected album, listed, then
// "已搜索" + album rows + "个专辑" into the Track window's status part 1.
void track_listing_worker(Controls& controls, const PlatformEndpoints& endpoints);

}  // namespace lumora
