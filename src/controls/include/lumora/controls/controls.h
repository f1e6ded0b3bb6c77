// Control access by (window, control name): how the workers and the download
// queue reach the windows without knowing the toolkit.
//
// Every operation may be called from any thread; on the UI thread it runs
// directly. From another thread it runs on the UI thread, through one queue:
// a write (set_*, append_row_in_view, scroll_to_row) is queued and returns at
// once, so a worker never waits for a repaint; every other call waits until
// it has run. The calls of one thread thus take effect in the order they were
// made and a read sees the same thread's earlier writes. A thread calls
// flush() before it lets anyone else know that it is done.
//
// A call on a window that does not exist (not opened yet, or closed) or a
// control the window lacks does nothing and returns the empty value
// ("" / -1 / false). Rows, columns and status-bar parts are 0-based; texts
// are GBK.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

enum class WindowId { main, track };

// The layout's control names as UTF-8 source literals, e.g. u8"编辑框_下载目录".
using ControlName = std::u8string_view;

class Controls {
 public:
  virtual ~Controls() = default;

  // Edit boxes, buttons, labels and menu items.
  virtual Text text(WindowId window, ControlName control) = 0;
  virtual void set_text(WindowId window, ControlName control, std::string_view text) = 0;
  virtual bool is_enabled(WindowId window, ControlName control) = 0;
  virtual void set_enabled(WindowId window, ControlName control, bool enabled) = 0;

  // List views. current_row is -1 when no row is current.
  virtual int current_row(WindowId window, ControlName list) = 0;
  virtual int row_count(WindowId window, ControlName list) = 0;
  // Appends an empty, unchecked row at the end; its index, or -1.
  virtual int append_row(WindowId window, ControlName list) = 0;
  // Appends an unchecked row whose cells hold `cells`, column 0 first, and
  // brings it into view. Unlike append_row it is a write: a worker adding
  // rows does not wait for each.
  virtual void append_row_in_view(WindowId window, ControlName list,
                                  std::initializer_list<std::string_view> cells) = 0;
  virtual Text cell(WindowId window, ControlName list, int row, int column) = 0;
  virtual void set_cell(WindowId window, ControlName list, int row, int column,
                        std::string_view text) = 0;
  // Check boxes written here raise no check-change event.
  virtual bool is_checked(WindowId window, ControlName list, int row) = 0;
  virtual void set_checked(WindowId window, ControlName list, int row, bool checked) = 0;
  virtual void scroll_to_row(WindowId window, ControlName list, int row) = 0;

  // Status bars with parts.
  virtual Text part_text(WindowId window, ControlName bar, int part) = 0;
  virtual void set_part_text(WindowId window, ControlName bar, int part,
                             std::string_view text) = 0;

  // Pops the menu up 3 pixels right of and below the mouse cursor and returns
  // when it closes (so it waits, like a read). The chosen item's command is queued: it runs after the
  // handler that called this has returned.
  virtual void popup_menu(WindowId window, ControlName menu) = 0;

  // Waits `milliseconds`. On the UI thread the windows stay alive: events,
  // and so other handlers, are dispatched meanwhile. Elsewhere a plain wait.
  virtual void wait_pumping(int milliseconds) = 0;

  // Returns once every write this thread made has taken effect.
  virtual void flush() = 0;
};

// The number of ticked Track list rows as last counted or adjusted: one per
// program, 0 at start, kept across Track windows. UI thread only.
struct CheckedRowCounter {
  std::int32_t value = 0;
};

}  // namespace lumora
