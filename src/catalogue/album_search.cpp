#include "lumora/catalogue/album_search.h"

#include <chrono>
#include <thread>

#include "lumora/catalogue/page_walk.h"
#include "lumora/catalogue/request_addresses.h"
#include "lumora/controls/control_names.h"
#include "lumora/net/url_coding.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

AlbumEntry read_album(const JsonDocument& page, int index) {
  const Text doc = "data.result.response.docs[" + decimal_text(index) + "]";
  AlbumEntry album;
  album.id = page.get_text(doc + ".id");
  album.title = page.get_text(doc + ".title");
  album.nickname = page.get_text(doc + ".nickname");
  album.category = page.get_text(doc + "['category_title']");
  return album;
}

void append_album(Controls& controls, const AlbumEntry& album) {
  controls.append_row_in_view(WindowId::main, kList,
                              {album.title, album.id, album.category, album.nickname});
  // Lets the list repaint as rows arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

PageWalk search_album_pages(Text& keyword, const PlatformEndpoints& endpoints,
                            const AlbumPageSink& sink, RequestComponent* connection) {
  keyword = url_encode(keyword, true, true);
  const Text encoded = keyword;
  std::vector<AlbumEntry> albums;
  return walk_pages({
      .first_address = album_search_address(endpoints, encoded),
      .count_path = "data.result.response.totalPage",
      .rows_path = "data.result.response.docs",
      .page_address = [&](int n) { return album_search_page_address(endpoints, encoded, n); },
      .read_page =
          [&](const JsonDocument& page) {
            const int docs = page.count("data.result.response.docs");
            albums.clear();
            for (int i = 0; i < docs; ++i) albums.push_back(read_album(page, i));
            if (!albums.empty()) sink(albums);
            return static_cast<int>(albums.size());
          },
      .connection = connection,
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
