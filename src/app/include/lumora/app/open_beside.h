// Shows a new top-level window beside another (window_placement.h), frames
// included.
#pragma once

#include <QWidget>

namespace lumora {

// Shows the hidden top-level `window` beside the shown `owner`, on the
// owner's screen. The frame a window manager adds is known only once the
// window is mapped: until then the last frame seen is assumed, and the
// window is placed again as soon as its real frame differs from that. A
// move by the user afterwards is left alone. UI thread.
void show_beside(QWidget* window, const QWidget* owner);

}  // namespace lumora
