// The platform's request addresses, character for character.
#pragma once

#include "lumora/catalogue/endpoints.h"
#include "lumora/text/text.h"

namespace lumora {

// `encoded_keyword` is already percent-encoded.
Text album_search_address(const PlatformEndpoints& endpoints, const Text& encoded_keyword);
Text album_search_page_address(const PlatformEndpoints& endpoints, const Text& encoded_keyword,
                               int page);

// The album id goes in as it stands, unchecked and unencoded.
Text track_listing_address(const PlatformEndpoints& endpoints, const Text& album_id, int page);

}  // namespace lumora
