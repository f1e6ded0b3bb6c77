#include "lumora/catalogue/page_walk.h"

#include "lumora/catalogue/platform_page.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

constexpr int kFailuresInARow = 3;

}  // namespace

PageWalk walk_pages(const PageWalkSteps& steps) {
  PageWalk walk;
  JsonDocument page = JsonDocument::create();
  load_platform_page(page, steps.first_address, steps.connection);
  walk.page_count = text_to_int(page.get_text(steps.count_path));
  Text previous_rows;
  int failures = 0;
  for (int n = 1; n <= walk.page_count; ++n) {
    if (!load_platform_page(page, steps.page_address(n), steps.connection)) {
      ++walk.pages_failed;
      if (++failures < kFailuresInARow) continue;
    } else {
      failures = 0;
      Text rows = page.get_text(steps.rows_path, true);
      if (rows != previous_rows && steps.read_page(page) > 0) {
        ++walk.pages_read;
        previous_rows = std::move(rows);
        continue;
      }
    }
    walk.ended_early = true;
    walk.stopped_at = n;
    break;
  }
  page.destroy();
  return walk;
}

}  // namespace lumora
