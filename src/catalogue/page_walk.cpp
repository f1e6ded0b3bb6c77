#include "lumora/catalogue/page_walk.h"

#include <optional>

#include "lumora/catalogue/platform_page.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

constexpr int kFailuresInARow = 3;

// Whether the walk may ask for page `n`; notes why not in `walk`.
bool may_ask(const WalkBounds& bounds, int n, PageWalk& walk) {
  if (bounds.stop && bounds.stop()) {
    walk.stopped = true;
  } else if (bounds.max_pages > 0 && n > bounds.max_pages) {
    walk.page_limit = true;
  } else {
    return true;
  }
  walk.stopped_at = n;
  return false;
}

}  // namespace

PageWalk walk_pages(const PageWalkSteps& steps) {
  PageWalk walk;
  if (!may_ask(steps.bounds, 0, walk)) return walk;
  {
    const PlatformAnswer first = fetch_platform_answer(steps.first_address, steps.connection);
    const json::RowReader reader(first.utf8, steps.query);
    if (!reader.scan().json) walk.first_problem = unreadable_reason(first);
    walk.page_count = text_to_int(reader.scan().value);
  }
  std::optional<std::uint64_t> previous_rows;
  int failures = 0;
  for (int n = 1; n <= walk.page_count && may_ask(steps.bounds, n, walk); ++n) {
    const PlatformAnswer answer = fetch_platform_answer(steps.page_address(n), steps.connection);
    const json::RowReader reader(answer.utf8, steps.query);
    if (!reader.scan().json) {
      ++walk.pages_failed;
      walk.page_problem = unreadable_reason(answer);
      if (++failures < kFailuresInARow) continue;
    } else {
      failures = 0;
      if (reader.scan().fingerprint != previous_rows && reader.scan().rows > 0) {
        reader.read(steps.take_row);
        steps.end_page();
        ++walk.pages_read;
        previous_rows = reader.scan().fingerprint;
        continue;
      }
    }
    walk.ended_early = true;
    walk.stopped_at = n;
    break;
  }
  return walk;
}

}  // namespace lumora
