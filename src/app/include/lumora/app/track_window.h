// The Track window: the Track list with its check boxes, the folder box, the
// three buttons, the five-part status bar and the list's pop-up menu.
#pragma once

#include <QWidget>

#include "lumora/app/event_table.h"
#include "lumora/text/text.h"

namespace lumora {

// Client area of the fixed frame (outer 462 x 607 with a 3-pixel border and
// the caption).
inline constexpr int kTrackClientWidth = 456;
inline constexpr int kTrackClientHeight = 572;

// A new, hidden Track window that deletes itself when closed, with `folder`
// (GBK) in the folder box. Events go through `router`, which must outlive it.
// The "created" event is the caller's to raise.
QWidget* build_track_window(const EventRouter& router, const Text& folder);

}  // namespace lumora
