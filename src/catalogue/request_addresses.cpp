#include "lumora/catalogue/request_addresses.h"

#include "lumora/text/number.h"

namespace lumora {
namespace {

constexpr const char* kSearchTail = "&spellchecker=true&rows=20&condition=relation&device=iPhone";

Text search_base(const PlatformEndpoints& endpoints, const Text& encoded_keyword) {
  return endpoints.search_base + "/revision/search?core=album&kw=" + encoded_keyword;
}

}  // namespace

Text album_search_address(const PlatformEndpoints& endpoints, const Text& encoded_keyword) {
  return search_base(endpoints, encoded_keyword) + kSearchTail;
}

Text album_search_page_address(const PlatformEndpoints& endpoints, const Text& encoded_keyword,
                               int page) {
  return search_base(endpoints, encoded_keyword) + "&page=" + decimal_text(page) + kSearchTail;
}

Text track_listing_address(const PlatformEndpoints& endpoints, const Text& album_id, int page) {
  return endpoints.mobile_base + "/mobile/v1/album/track/ts-1534855383505?albumId=" + album_id +
         "&device=android&isAsc=true&isQueryInvitationBrand=true&pageId=" + decimal_text(page) +
         "&pageSize=20&pre_page=0";
}

}  // namespace lumora
