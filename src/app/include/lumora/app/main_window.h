// The Main window: drawn title bar, keyword box, search button, Album list and
// the animated strip along the bottom edge.
#pragma once

#include <QWidget>

#include "lumora/app/event_table.h"

namespace lumora {

inline constexpr int kMainWidth = 604;
inline constexpr int kMainHeight = 653;

// A new, hidden, frameless Main window that deletes itself when closed. Its
// controls raise their events through `router`, which must outlive it. The
// "created" event is the caller's to raise.
QWidget* build_main_window(const EventRouter& router);

}  // namespace lumora
