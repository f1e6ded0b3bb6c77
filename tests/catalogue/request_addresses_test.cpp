#include "lumora/catalogue/request_addresses.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(RequestAddresses, BuiltInHostsCharacterForCharacter) {
  const PlatformEndpoints hosts;
  EXPECT_EQ(album_search_address(hosts, "%E4%B8%AD"),
            "https://www.lumorafm.com/revision/search?core=album&kw=%E4%B8%AD"
            "&spellchecker=true&rows=20&condition=relation&device=iPhone");
  EXPECT_EQ(album_search_page_address(hosts, "x", 12),
            "https://www.lumorafm.com/revision/search?core=album&kw=x&page=12"
            "&spellchecker=true&rows=20&condition=relation&device=iPhone");
  EXPECT_EQ(track_listing_address(hosts, "4711", 3),
            "http://mobile.lumorafm.com/mobile/v1/album/track/ts-1534855383505?albumId=4711"
            "&device=android&isAsc=true&isQueryInvitationBrand=true&pageId=3&pageSize=20"
            "&pre_page=0");
}

TEST(RequestAddresses, EmptyAlbumIdGoesInAsItStands) {
  const PlatformEndpoints sim{"https://127.0.0.1:1", "http://127.0.0.1:2"};
  EXPECT_EQ(track_listing_address(sim, "", 1).find("?albumId=&device=android"),
            std::string("http://127.0.0.1:2/mobile/v1/album/track/ts-1534855383505").size());
}

}  // namespace
}  // namespace lumora
