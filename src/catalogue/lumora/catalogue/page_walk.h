// The walk both catalogue interfaces share: a first request only for the
// page count, then pages 1 to that count, one after the other.
#pragma once

#include <functional>
#include <string_view>

#include "lumora/catalogue/catalogue_entries.h"
#include "lumora/json/json_document.h"
#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

struct PageWalkSteps {
  Text first_address;
  std::string_view count_path;  // read from the first answer
  std::string_view rows_path;   // the page's array of rows
  std::function<Text(int page)> page_address;
  // Reads the loaded page; returns how many rows it brought.
  std::function<int(const JsonDocument& page)> read_page;
  RequestComponent* connection = nullptr;  // see load_platform_page
};

// Runs on the caller's thread; one JSON document serves every page. A page
// that fails (no answer, not JSON) brings nothing and the walk goes on;
// the walk stops early at the third failed page in a row, at a JSON page
// without rows, and at a page whose rows are exactly the page before's
// (that page is not read), so a bogus page count cannot keep it going.
PageWalk walk_pages(const PageWalkSteps& steps);

}  // namespace lumora
