// Where a new window opens beside the one it belongs to.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace lumora {

// Top-left corner for a window of outer size `size` opened beside `owner`
// (its outer rectangle), within `screen` (the available area of the screen
// that holds `owner`). To the right of the owner, tops aligned, when it fits
// there; else to its left; else on the screen where it covers the least of
// the owner. A window larger than the screen keeps its top-left corner on
// it.
QPoint place_beside(const QRect& owner, QSize size, const QRect& screen);

// Top-left corner for the first window of a pair, of outer size `first`,
// whose partner of outer size `second` will open beside it (place_beside):
// the two side by side and centred together on `screen` when it is wide
// enough; else the first at the screen's left edge, so that the partner,
// kept on the screen, covers no more of it than the screen's width forces.
// The taller of the two is centred vertically.
QPoint place_first_of_pair(QSize first, QSize second, const QRect& screen);

}  // namespace lumora
