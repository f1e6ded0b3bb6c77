#include "lumora/catalogue/album_search.h"

#include <chrono>
#include <thread>

#include "lumora/catalogue/platform_page.h"
#include "lumora/controls/control_names.h"
#include "lumora/catalogue/request_addresses.h"
#include "lumora/net/url_coding.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

void append_album(Controls& controls, const JsonDocument& page, int index) {
  const int row = controls.append_row(WindowId::main, kList);
  const Text doc = "data.result.response.docs[" + decimal_text(index) + "]";
  const Text id = page.get_text(doc + ".id");
  const Text title = page.get_text(doc + ".title");
  const Text nickname = page.get_text(doc + ".nickname");
  const Text category = page.get_text(doc + "['category_title']");
  if (row < 0) return;
  controls.set_cell(WindowId::main, kList, row, 0, title);
  controls.set_cell(WindowId::main, kList, row, 1, id);
  controls.set_cell(WindowId::main, kList, row, 2, category);
  controls.set_cell(WindowId::main, kList, row, 3, nickname);
  controls.scroll_to_row(WindowId::main, kList, row);
  // Lets the list repaint as rows arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

void search_albums(Text& keyword, Controls& controls, const PlatformEndpoints& endpoints) {
  JsonDocument page = JsonDocument::create();
  keyword = url_encode(keyword, true, true);
  load_platform_page(page, album_search_address(endpoints, keyword));
  const int pages = text_to_int(page.get_text("data.result.response.totalPage"));
  for (int n = 1; n <= pages; ++n) {
    load_platform_page(page, album_search_page_address(endpoints, keyword, n));
    const int docs = page.count("data.result.response.docs");
    for (int i = 0; i < docs; ++i) append_album(controls, page, i);
  }
  page.destroy();
}

void album_search_worker(Controls& controls, const PlatformEndpoints& endpoints) {
  Text keyword = controls.text(WindowId::main, kKeywordBox);
  search_albums(keyword, controls, endpoints);
}

}  // namespace lumora
