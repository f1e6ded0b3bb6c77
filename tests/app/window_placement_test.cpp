// Where a window opens beside its owner, as arithmetic on rectangles.
#include <gtest/gtest.h>

#include <algorithm>

#include "lumora/app/window_placement.h"

namespace lumora {
namespace {

TEST(PlaceBeside, RightElseLeftElseLeastCover) {
  const QSize track(462, 607);
  struct Case {
    const char* what;
    QRect screen, owner;
    QPoint expected;
  };
  const Case cases[] = {
      {"room on the right", {0, 0, 1280, 1024}, {100, 185, 604, 653}, {704, 185}},
      {"just room on the right", {0, 0, 1066, 800}, {0, 0, 604, 653}, {604, 0}},
      {"right full, room on the left", {0, 0, 1280, 1024}, {676, 100, 604, 653}, {214, 100}},
      {"just room on the left", {0, 0, 1066, 800}, {462, 0, 604, 653}, {0, 0}},
      {"owner low: top pulled up onto the screen", {0, 0, 1280, 1024}, {100, 800, 604, 224},
       {704, 417}},
      // Equal cover at both side edges: the right one; the bottom covers least.
      {"no room either side", {0, 0, 1024, 768}, {210, 57, 604, 653}, {562, 161}},
      {"owner at the left edge", {0, 0, 1024, 768}, {0, 0, 604, 653}, {562, 161}},
      {"owner centred on a wide screen", {0, 0, 1280, 1024}, {338, 185, 604, 653}, {818, 417}},
      // Covers less at the screen's left edge and its bottom.
      {"owner right of centre and high", {0, 0, 1024, 768}, {300, 0, 604, 400}, {0, 161}},
      {"screen not at the origin", {1280, 24, 1024, 744}, {1290, 30, 604, 653}, {1842, 161}},
      {"window larger than the screen", {0, 0, 400, 500}, {0, 0, 300, 300}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(place_beside(c.owner, track, c.screen), c.expected);
  }
}

TEST(PlaceFirstOfPair, SideBySideWhenTheScreenIsWideEnoughElseForcedOverlapOnly) {
  const QSize main(604, 653);
  const QSize track(462, 607);
  struct Case {
    const char* what;
    QRect screen;
    QPoint expected;
  };
  const Case cases[] = {
      {"pair centred together", {0, 0, 1280, 1024}, {107, 185}},
      {"just wide enough", {0, 0, 1066, 800}, {0, 73}},
      {"narrower: at the left edge", {0, 0, 1024, 768}, {0, 57}},
      {"screen not at the origin", {1280, 24, 1280, 1000}, {1387, 197}},
      {"lower than the windows", {0, 0, 1280, 600}, {107, 0}},
      {"narrower than the Main window", {0, 0, 500, 400}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QPoint at = place_first_of_pair(main, track, c.screen);
    EXPECT_EQ(at, c.expected);
    // The Track window then opens beside it, covering only what the width forces.
    const QRect owner(at, main);
    const QRect placed(place_beside(owner, track, c.screen), track);
    const int forced = std::max(0, main.width() + track.width() - c.screen.width());
    if (main.width() <= c.screen.width()) {
      EXPECT_EQ(owner.intersected(placed).width(), forced);
    }
  }
}

}  // namespace
}  // namespace lumora
