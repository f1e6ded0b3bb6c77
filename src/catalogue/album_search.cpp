#include "lumora/catalogue/album_search.h"

#include <chrono>
#include <thread>

#include "lumora/catalogue/page_walk.h"
#include "lumora/catalogue/request_addresses.h"
#include "lumora/controls/control_names.h"
#include "lumora/controls/controls.h"
#include "lumora/net/url_coding.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

const json::RowQuery kAlbumQuery{{"data", "result", "response", "totalPage"},
                                 {"data", "result", "response", "docs"},
                                 {"id", "title", "category_title", "nickname"}};

void append_album(Controls& controls, const AlbumEntry& album) {
  controls.append_row_in_view(WindowId::main, kList,
                              {album.title, album.id, album.category, album.nickname});
  // Lets the list repaint as rows arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

PageWalk search_album_pages(Text& keyword, const PlatformEndpoints& endpoints,
                            const AlbumPageSink& sink, RequestComponent* connection,
                            const WalkBounds& bounds) {
  keyword = url_encode(keyword, true, true);
  const Text encoded = keyword;
  std::vector<AlbumEntry> albums;
  const auto deliver = [&] {
    if (!albums.empty()) sink(albums);
    albums.clear();
  };
  return walk_pages({
      .first_address = album_search_address(endpoints, encoded),
      .query = kAlbumQuery,
      .page_address = [&](int n) { return album_search_page_address(endpoints, encoded, n); },
      .take_row =
          [&](const std::vector<Text>& f) {
            albums.push_back({f[0], f[1], f[2], f[3]});
            if (albums.size() == kRowsPerDelivery) deliver();
          },
      .end_page = deliver,
      .connection = connection,
      .bounds = bounds,
  });
}

void search_albums(Text& keyword, Controls& controls, const PlatformEndpoints& endpoints) {
  search_album_pages(keyword, endpoints, [&](const std::vector<AlbumEntry>& albums) {
    for (const AlbumEntry& album : albums) append_album(controls, album);
  });
}

void album_search_worker(Controls& controls, const PlatformEndpoints& endpoints) {
  Text keyword = controls.text(WindowId::main, kKeywordBox);
  search_albums(keyword, controls, endpoints);
}

}  // namespace lumora
