// The album search: every result page for a keyword, as data or into the
// Album list.
#pragma once

#include "lumora/catalogue/catalogue_entries.h"
#include "lumora/catalogue/endpoints.h"
#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

// The window workers' way to the lists (lumora/controls/controls.h); a
// caller of the page walks alone needs none of it.
class Controls;

// Asks for every result page of `keyword` (GBK) and hands each page's
// albums to `sink` as they arrive. `keyword` is replaced by its encoded
// form. Runs on the caller's thread; no pauses; `bounds` may end it early.
// With `connection` every page goes through that one request component: the
// connection stays open from page to page, and cookies the platform sets are
// sent back on later pages.
PageWalk search_album_pages(Text& keyword, const PlatformEndpoints& endpoints,
                            const AlbumPageSink& sink, RequestComponent* connection = nullptr,
                            const WalkBounds& bounds = {});

// Appends one Album list row per album (title, hidden id, category, uploader)
// over all pages, pausing 1 ms after each row so the list visibly grows;
// earlier rows stay. `keyword` is replaced by its encoded form. Runs on a
// search worker thread; Controls serialises the writes on the UI thread.
void search_albums(Text& keyword, Controls& controls, const PlatformEndpoints& endpoints);

// The search worker's routine: reads the keyword box and searches.
void album_search_worker(Controls& controls, const PlatformEndpoints& endpoints);

}  // namespace lumora
