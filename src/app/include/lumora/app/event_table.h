// The fixed event table: (window, control, event) -> handler. It is the whole
// of the program's reaction to the user; events it does not list are ignored.
#pragma once

#include <functional>
#include <span>

#include "lumora/controls/controls.h"

namespace lumora {

enum class EventKind { created, left_pressed, clicked, double_clicked, check_changed,
                       right_clicked, chosen };

// What an event carries: only a check-box change has a row and a state.
struct EventArgs {
  int row = -1;
  int state = 0;  // 1 checked, 0 unchecked
};

using Handler = std::function<void(const EventArgs&)>;

// The handler slots the table binds to. An empty slot does nothing. Handlers
// run on the UI thread.
struct Handlers {
  Handler style_album_list;
  Handler drag_main_window;
  Handler end_program;
  Handler start_album_search;
  Handler open_album;
  Handler track_window_created;
  Handler on_check_changed;
  Handler on_list_right_click;
  Handler check_all;
  Handler uncheck_all;
  Handler choose_download_folder;
  Handler start_download;
  Handler stop_download;
};

struct Binding {
  WindowId window;
  ControlName control;  // empty: the window itself
  EventKind event;
  Handler Handlers::*handler;
};

std::span<const Binding> event_table();

// Routes raised events through the table to the handlers it holds.
class EventRouter {
 public:
  Handlers& handlers() { return handlers_; }

  // Runs the bound handler, if any; false when the table has no binding.
  bool raise(WindowId window, ControlName control, EventKind event,
             const EventArgs& args = {}) const;

 private:
  Handlers handlers_;
};

}  // namespace lumora
