#include "lumora/catalogue/page_walk.h"

#include "lumora/catalogue/platform_page.h"
#include "lumora/text/number.h"

namespace lumora {

PageWalk walk_pages(const PageWalkSteps& steps) {
  PageWalk walk;
  JsonDocument page = JsonDocument::create();
  load_platform_page(page, steps.first_address, steps.connection);
  walk.page_count = text_to_int(page.get_text(steps.count_path));
  for (int n = 1; n <= walk.page_count; ++n) {
    load_platform_page(page, steps.page_address(n), steps.connection);
    if (steps.read_page(page) <= 0) {
      walk.ended_early = true;
      break;
    }
    ++walk.pages_read;
  }
  page.destroy();
  return walk;
}

}  // namespace lumora
