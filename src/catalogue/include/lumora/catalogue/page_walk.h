// The walk both catalogue interfaces share: a first request only for the
// page count, then pages 1 to that count, one after the other.
#pragma once

#include <functional>

#include "lumora/catalogue/catalogue_entries.h"
#include "lumora/json/row_reader.h"
#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

struct PageWalkSteps {
  Text first_address;
  // The page count (the value) and each page's rows, with the members read.
  json::RowQuery query;
  std::function<Text(int page)> page_address;
  // Each row of a page, in order, then the end of that page.
  json::RowReader::RowSink take_row;
  std::function<void()> end_page;
  RequestComponent* connection = nullptr;  // see fetch_platform_answer
  WalkBounds bounds;
};

// Runs on the caller's thread. A page that fails (no answer, not JSON)
// brings nothing and the walk goes on; the walk stops early at the third
// failed page in a row, at a JSON page without rows, and at a page whose
// rows are exactly the page before's (that page is not read), so a bogus
// page count cannot keep it going; and where the bounds say.
PageWalk walk_pages(const PageWalkSteps& steps);

}  // namespace lumora
