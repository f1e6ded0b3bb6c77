#include "lumora/app/window_placement.h"

#include <algorithm>
#include <array>

namespace lumora {
namespace {

// Keeps [start, start + length) within [low, high], the low end first.
int clamp_span(int start, int length, int low, int high) {
  return std::max(low, std::min(start, high - length + 1));
}

long long covered(const QRect& owner, const QRect& window) {
  const QRect both = owner.intersected(window);
  return both.isEmpty() ? 0 : static_cast<long long>(both.width()) * both.height();
}

}  // namespace

QPoint place_beside(const QRect& owner, QSize size, const QRect& screen) {
  const int top = clamp_span(owner.top(), size.height(), screen.top(), screen.bottom());
  const int right_of = owner.right() + 1;
  if (right_of + size.width() - 1 <= screen.right()) return {right_of, top};
  const int left_of = owner.left() - size.width();
  if (left_of >= screen.left()) return {left_of, top};
  // The cover is least at an edge of the screen in each direction; ties go
  // to the right and to the owner's top.
  const int right_edge = clamp_span(screen.right(), size.width(), screen.left(), screen.right());
  const std::array<int, 2> xs = {right_edge, screen.left()};
  const std::array<int, 3> ys = {
      top, screen.top(), clamp_span(screen.bottom(), size.height(), screen.top(), screen.bottom())};
  QPoint best(xs[0], ys[0]);
  long long least = covered(owner, QRect(best, size));
  for (int x : xs)
    for (int y : ys) {
      const long long c = covered(owner, QRect(QPoint(x, y), size));
      if (c < least) {
        least = c;
        best = {x, y};
      }
    }
  return best;
}

QPoint place_first_of_pair(QSize first, QSize second, const QRect& screen) {
  const int spare_width = screen.width() - first.width() - second.width();
  const int spare_height = screen.height() - std::max(first.height(), second.height());
  return {screen.left() + std::max(0, spare_width / 2),
          screen.top() + std::max(0, spare_height / 2)};
}

}  // namespace lumora
