// The album search: every result page for a keyword into the Album list.
//
// Runs on a search worker thread; it reaches the windows only through
// Controls, which serialises its writes on the UI thread.
#pragma once

#include "lumora/catalogue/endpoints.h"
#include "lumora/text/text.h"
#include "lumora/controls/controls.h"

namespace lumora {

// Appends one Album list row per album (title, hidden id, category, uploader)
// over all pages; earlier rows stay. `keyword` is replaced by its encoded form.
void search_albums(Text& keyword, Controls& controls, const PlatformEndpoints& endpoints);

// The search worker's routine: reads the keyword box and searches.
void album_search_worker(Controls& controls, const PlatformEndpoints& endpoints);

}  // namespace lumora
