#include "lumora/catalogue/track_listing.h"

#include <chrono>
#include <thread>

#include "lumora/catalogue/platform_page.h"
#include "lumora/controls/control_names.h"
#include "lumora/catalogue/request_addresses.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

void append_track(Controls& controls, const JsonDocument& page, int index) {
  const int row = controls.append_row(WindowId::track, kList);
  const Text item = "data.list[" + decimal_text(index) + "]";
  const Text title = page.get_text(item + ".title");
  const Text address = page.get_text(item + ".playUrl64");
  if (row < 0) return;  // the Track window was closed meanwhile
  controls.set_cell(WindowId::track, kList, row, 1, title);
  controls.set_cell(WindowId::track, kList, row, 2, address);
  controls.scroll_to_row(WindowId::track, kList, row);
  // Lets the list repaint as rows arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

void list_album_tracks(const Text& album_id, Controls& controls,
                       const PlatformEndpoints& endpoints) {
  JsonDocument page = JsonDocument::create();
  load_platform_page(page, track_listing_address(endpoints, album_id, 1));
  const int pages = text_to_int(page.get_text("data.maxPageId"));
  for (int n = 1; n <= pages; ++n) {
    load_platform_page(page, track_listing_address(endpoints, album_id, n));
    const int tracks = page.count("data.list");
    for (int i = 0; i < tracks; ++i) append_track(controls, page, i);
  }
  page.destroy();
}

void track_listing_worker(Controls& controls, const PlatformEndpoints& endpoints) {
  const int selected = controls.current_row(WindowId::main, kList);
  const Text album_id = selected < 0 ? Text() : controls.cell(WindowId::main, kList, selected, 1);
  list_album_tracks(album_id, controls, endpoints);
  const int albums = controls.row_count(WindowId::main, kList);
  controls.set_part_text(WindowId::track, kStatusBar, 1,
                         gbk(u8"已搜索") + decimal_text(albums < 0 ? 0 : albums) +
                             gbk(u8"个专辑"));
}

}  // namespace lumora
