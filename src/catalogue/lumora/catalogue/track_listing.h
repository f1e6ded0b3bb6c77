// The album track listing: every track page of one album into the Track list.
//
// Runs on a listing worker thread; it reaches the windows only through
// Controls. The Track list is never cleared here: a second album's rows go
// below the first one's.
#pragma once

#include "lumora/catalogue/endpoints.h"
#include "lumora/text/text.h"
#include "lumora/controls/controls.h"

namespace lumora {

// Appends one unchecked row per track: title in column 1, audio address in
// the hidden column 2.
void list_album_tracks(const Text& album_id, Controls& controls,
                       const PlatformEndpoints& endpoints);

// The listing worker's routine: the Album list's selected album, listed, then
// "已搜索" + album rows + "个专辑" into the Track window's status part 1.
void track_listing_worker(Controls& controls, const PlatformEndpoints& endpoints);

}  // namespace lumora
